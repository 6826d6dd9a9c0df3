#include "run/NodeRun.h"

#include "Checks.h"

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
        if (std::shared_ptr<const IDataValue> value = pin->Object().Pin::GetData()) {
            inputs.emplace(pin->Id(), std::move(value));
        }
    }
    return inputs;
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
                     const GraphStore::NodeRecord* node) {
    const GUID nodeId = function->GetId();
    const GraphStore& store = GraphStore::Of(graph);
    if (node == nullptr) {
        node = store.FindNode(nodeId);
    }
    const std::uint64_t version = store.StructureVersion();
    const DataMap outputs = function->Execute(node != nullptr ? GatherInputs(*node) : DataMap());
    const bool unchanged = GraphStore::Of(graph).StructureVersion() == version;
    WriteOutputs(graph, unchanged ? node : nullptr, nodeId, outputs);
}

} // namespace datagraph
