#include "run/NodeRun.h"

#include "Checks.h"

#include <algorithm>

namespace datagraph {
namespace {

GraphStore::PinRecord* FindOutputPin(const GraphStore& store, const GraphStore::NodeRecord& node,
                                     const GUID& pinId) {
    // Most nodes have few outputs: a scan of the record beats a lookup by id.
    if (node.OutputPins().size() <= 8) {
        for (GraphStore::PinRecord* pin : node.OutputPins()) {
            if (pin->Id() == pinId) {
                return pin;
            }
        }
        return nullptr;
    }
    GraphStore::PinRecord* pin = store.FindPin(pinId);
    return pin != nullptr && pin->IsOwnedBy(node) && pin->IsOutput() ? pin : nullptr;
}

} // namespace

DataMap GatherInputs(const GraphStore::NodeRecord& node) {
    DataMap inputs;
    inputs.reserve(node.InputPins().size());
    for (const GraphStore::PinRecord* pin : node.InputPins()) {
        // A record holds a Pin itself: no virtual dispatch is needed.
        if (const std::shared_ptr<const IDataValue>& value = GraphStore::ValueOf(*pin)) {
            inputs.emplace(pin->Id(), value);
        }
    }
    return inputs;
}

DataMap& InputMaps::MapFor(std::size_t pins) {
    if (pins < mapForPins.size() && mapForPins[pins] != 0) {
        Map& known = *maps[mapForPins[pins] - 1];
        // A function may have changed the map behind its const (rehashed it, moved from it): it
        // is made again, as new.
        if (known.map.bucket_count() == known.buckets && known.map.max_load_factor() == 1.0f) {
            return known.map;
        }
        Release(known.map);
        DataMap renewed;
        renewed.reserve(pins);
        known.map.swap(renewed);
        return known.map;
    }
    auto made = std::make_unique<Map>();
    made->map.reserve(pins);
    made->buckets = made->map.bucket_count();
    std::size_t index = 0;
    while (index < maps.size() && maps[index]->buckets != made->buckets) {
        ++index;
    }
    if (pins >= mapForPins.size()) {
        mapForPins.resize(pins + 1, 0);
    }
    if (index == maps.size()) {
        maps.push_back(std::move(made));
    }
    mapForPins[pins] = static_cast<std::uint32_t>(index + 1);
    return MapFor(pins);
}

DataMap& InputMaps::Gather(const GraphStore::NodeRecord& node) {
    const GraphStore::PinList& pins = node.InputPins();
    DataMap& map = MapFor(pins.size());
    Release(map); // empty unless a function added entries to its map after the run
    // Room, before anything changes, for every entry to come back after the execution.
    if (spare.size() < pins.size()) {
        const std::size_t needed = entries + (pins.size() - spare.size());
        if (spare.capacity() < needed) {
            spare.reserve(std::max(needed, 2 * spare.capacity()));
        }
    }
    try {
        for (const GraphStore::PinRecord* pin : pins) {
            const std::shared_ptr<const IDataValue>& value = GraphStore::ValueOf(*pin);
            if (value == nullptr) {
                continue;
            }
            if (spare.empty()) {
                map.emplace(pin->Id(), value);
                ++entries;
                continue;
            }
            Entry entry = std::move(spare.back());
            spare.pop_back();
            entry.key() = pin->Id();
            entry.mapped() = value;
            map.insert(std::move(entry)); // the map has room for every pin: no allocation
        }
    } catch (...) {
        Release(map); // the values go now, as with a map of the node's own
        throw;
    }
    return map;
}

void InputMaps::Release(DataMap& map) noexcept {
    while (!map.empty()) {
        Entry entry = map.extract(map.begin());
        entry.mapped().reset();
        // An entry a function added to its map behind its const is let go.
        if (spare.size() < spare.capacity()) {
            spare.push_back(std::move(entry));
        }
    }
}

void WriteOutputs(Graph& graph, const GraphStore::NodeRecord* node, const GUID& nodeId,
                  const DataMap& outputs) {
    std::uint64_t version = GraphStore::Of(graph).StructureVersion();
    if (node == nullptr) {
        node = GraphStore::Of(graph).FindNode(nodeId);
    }
    for (const auto& [pinId, value] : outputs) {
        const GraphStore& store = GraphStore::Of(graph);
        if (store.StructureVersion() != version) {
            version = store.StructureVersion();
            node = store.FindNode(nodeId);
        }
        GraphStore::PinRecord* pin = node != nullptr ? FindOutputPin(store, *node, pinId) : nullptr;
        CheckThat(pin != nullptr, "Could not find the indicated output pin.");
        GraphStore::WriteOutput(*pin, value);
    }
}

void RunNodeFunction(Graph& graph, std::shared_ptr<INodeFunction> function,
                     const GraphStore::NodeRecord* node, InputMaps* inputs) {
    // A traversal hands over the record, which keeps the id the node was made with.
    const GUID nodeId = node != nullptr ? node->Id() : function->GetId();
    const GraphStore& store = GraphStore::Of(graph);
    if (node == nullptr) {
        node = store.FindNode(nodeId);
    }
    const std::uint64_t version = store.StructureVersion();
    const DataMap outputs = [&] {
        if (node == nullptr) {
            return function->Execute(DataMap());
        }
        if (inputs == nullptr) {
            return function->Execute(GatherInputs(*node));
        }
        const InputMaps::Gathered gathered(*inputs, *node);
        return function->Execute(gathered.Map());
    }();
    const bool unchanged = GraphStore::Of(graph).StructureVersion() == version;
    WriteOutputs(graph, unchanged ? node : nullptr, nodeId, outputs);
}

} // namespace datagraph
