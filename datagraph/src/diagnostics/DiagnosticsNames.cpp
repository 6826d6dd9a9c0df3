#include "DiagnosticsNames.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace datagraph::diagnostics {

std::optional<PinOwner> OwnerOf(const Graph& graph, const GUID& pinId) {
    GUID nodeId;
    try {
        nodeId = graph.GetOwningNode(pinId);
    } catch (const GraphException&) {
        return std::nullopt;
    }
    const bool input = graph.GetInputPins(nodeId).count(pinId) != 0;
    return PinOwner{nodeId, input ? PinSide::Input : PinSide::Output};
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
    const std::optional<PinOwner> owner = OwnerOf(graph, pinId);
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
    const std::optional<PinOwner> owner = OwnerOf(graph, pinId);
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
