#include "DiagnosticsNames.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace datagraph::diagnostics {

GraphIndex::GraphIndex(const Graph& graph)
    : graph(graph)
    , store(GraphStore::Of(graph)) {
    sorted.reserve(store.NodeCount());
    store.ForEachNode([this](const GraphStore::NodeRecord& node) { sorted.push_back(&node); });
    SortById(sorted);
}

std::optional<PinOwner> OwnerIn(const GraphStore& store, const GUID& pinId) {
    const GraphStore::PinRecord* pin = store.FindPin(pinId);
    if (pin == nullptr) {
        return std::nullopt;
    }
    return PinOwner{pin->Owner().Id(), pin->IsOutput() ? PinSide::Output : PinSide::Input};
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

std::string PinName(const Graph& graph, const GUID& pinId) {
    const std::optional<PinOwner> owner = OwnerIn(GraphStore::Of(graph), pinId);
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

std::string QualifiedPinName(const Graph& graph, const GUID& pinId) {
    const std::optional<PinOwner> owner = OwnerIn(GraphStore::Of(graph), pinId);
    if (!owner) {
        return GUIDToString(pinId);
    }
    return NodeName(graph, owner->node) + "." + PinName(graph, pinId);
}

IdentifierList Sorted(const IdentifierSet& ids) {
    IdentifierList sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

} // namespace datagraph::diagnostics
