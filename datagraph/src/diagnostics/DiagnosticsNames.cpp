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

GraphIndex::GraphIndex(const Graph& graph)
    : graph(graph)
    , store(GraphStore::Of(graph)) {
    sorted.reserve(store.NodeCount());
    store.ForEachNode([this](const GraphStore::NodeRecord& node) { sorted.push_back(&node); });
    SortById(sorted);
}

namespace {

std::optional<PinOwner> OwnerIn(const GraphStore& store, const GUID& pinId) {
    const GraphStore::PinRecord* pin = store.FindPin(pinId);
    if (pin == nullptr) {
        return std::nullopt;
    }
    return PinOwner{pin->Owner().Id(), pin->IsOutput() ? PinSide::Output : PinSide::Input};
}

} // namespace

std::optional<PinOwner> GraphIndex::OwnerOf(const GUID& pinId) const {
    return OwnerIn(store, pinId);
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
