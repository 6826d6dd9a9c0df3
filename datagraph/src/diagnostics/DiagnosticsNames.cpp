#include "DiagnosticsNames.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace datagraph::diagnostics {

IdTable::IdTable(std::size_t count) {
    std::size_t size = 16;
    while (size < count + count / 2) {
        size *= 2;
    }
    slots.resize(size);
    mask = size - 1;
    const GUID random = CreateGUID();
    std::memcpy(key, random.data, sizeof(key));
}

void IdTable::Insert(const GUID& id, std::uint64_t value) {
    for (std::size_t at = Home(id);; at = (at + 1) & mask) {
        if (slots[at].value == kFree) {
            slots[at] = {id, value};
            return;
        }
        if (slots[at].id == id) {
            return;
        }
    }
}

std::optional<std::uint64_t> IdTable::Find(const GUID& id) const {
    for (std::size_t at = Home(id);; at = (at + 1) & mask) {
        if (slots[at].value == kFree) {
            return std::nullopt;
        }
        if (slots[at].id == id) {
            return slots[at].value;
        }
    }
}

std::size_t IdTable::Home(const GUID& id) const {
    std::uint64_t words[2];
    std::memcpy(words, id.data, sizeof(words));
    std::uint64_t hash = (words[0] ^ key[0]) * 0x9e3779b97f4a7c15u;
    hash = (hash ^ words[1] ^ key[1]) * 0xc2b2ae3d27d4eb4fu;
    return static_cast<std::size_t>(hash ^ (hash >> 29)) & mask;
}

namespace {

// The topological order is kept by the graph, so it is the cheap way to every node id; a graph
// without one (a cycle) is asked for its set of ids instead.
IdentifierList SortedNodesOf(const Graph& graph) {
    IdentifierList nodes;
    try {
        nodes = graph.GetNodesInTopologicalOrder();
    } catch (const GraphException&) {
        const IdentifierSet ids = graph.GetNodesInArbitraryOrder();
        nodes.assign(ids.begin(), ids.end());
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

std::size_t PinCount(const Graph& graph) {
    return graph.GetAllPins().size();
}

} // namespace

GraphIndex::GraphIndex(const Graph& graph)
    : graph(graph)
    , sortedNodes(SortedNodesOf(graph))
    , owners(PinCount(graph)) {
    for (std::size_t place = 0; place < sortedNodes.size(); ++place) {
        const GUID& nodeId = sortedNodes[place];
        for (const GUID& pinId : graph.GetInputPins(nodeId)) {
            owners.Insert(pinId, 2 * place);
        }
        for (const GUID& pinId : graph.GetOutputPins(nodeId)) {
            owners.Insert(pinId, 2 * place + 1);
        }
    }
}

std::optional<PinOwner> GraphIndex::OwnerOf(const GUID& pinId) const {
    const auto owner = OwnerPlaceOf(pinId);
    if (!owner) {
        return std::nullopt;
    }
    return PinOwner{sortedNodes[owner->first], owner->second};
}

std::optional<std::pair<std::size_t, PinSide>> GraphIndex::OwnerPlaceOf(const GUID& pinId) const {
    const std::optional<std::uint64_t> owner = owners.Find(pinId);
    if (!owner) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::size_t>(*owner / 2),
                          *owner % 2 != 0 ? PinSide::Output : PinSide::Input);
}

std::string TypeName(const std::type_info& type) {
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(type.name());
}

std::string NodeName(const Graph& graph, const GUID& nodeId) {
    if (!graph.HasNode(nodeId)) {
        return GUIDToString(nodeId);
    }
    return "\"" + graph.GetConstNode(nodeId).GetNodeFunction().GetName() + "\"";
}

std::string PinName(const GraphIndex& index, const GUID& pinId) {
    const Graph& graph = index.GetGraph();
    const std::optional<PinOwner> owner = index.OwnerOf(pinId);
    if (!owner) {
        return GUIDToString(pinId);
    }
    // An ubernode borrows pin names from its inner graph, which may not know the pin.
    try {
        return graph.GetConstNode(owner->node).GetNodeFunction().GetInputOrOutputName(pinId);
    } catch (const GraphException&) {
        return GUIDToString(pinId);
    }
}

std::string QualifiedPinName(const GraphIndex& index, const GUID& pinId) {
    const std::optional<PinOwner> owner = index.OwnerOf(pinId);
    if (!owner) {
        return GUIDToString(pinId);
    }
    return NodeName(index.GetGraph(), owner->node) + "." + PinName(index, pinId);
}

IdentifierList Sorted(const IdentifierSet& ids) {
    IdentifierList sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

} // namespace datagraph::diagnostics
