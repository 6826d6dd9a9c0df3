#pragma once

// What the diagnostics share: readable names for types, nodes and pins, and the questions about
// a pin that the graph answers only by throwing. None of these raises a GraphException.

#include <datagraph/Graph.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace datagraph::diagnostics {

enum class PinSide { Input, Output };

struct PinOwner {
    GUID node;
    PinSide side;
};

/// A table from the ids of one graph to numbers, filled once and then only read: open addressing
/// in one array, its hash keyed afresh per table so that no choice of ids makes it slow.
class IdTable {
public:
    explicit IdTable(std::size_t count);

    /// Keeps the first value given for an id.
    void Insert(const GUID& id, std::uint64_t value);

    /// The id's value, or nothing for an id not inserted.
    std::optional<std::uint64_t> Find(const GUID& id) const;

private:
    static constexpr std::uint64_t kFree = ~std::uint64_t(0);

    struct Slot {
        GUID id;
        std::uint64_t value = kFree;
    };

    std::size_t Home(const GUID& id) const;

    std::vector<Slot> slots;
    std::size_t mask;
    std::uint64_t key[2];
};

/// A graph's nodes in id order and the owner of each of its pins, gathered in one pass so that
/// the walks over a graph take time linear in its nodes and links, however many there are.
class GraphIndex {
public:
    explicit GraphIndex(const Graph& graph);

    const Graph& GetGraph() const { return graph; }

    const IdentifierList& SortedNodes() const { return sortedNodes; }

    /// The owning node and side of a pin, or nothing for an id that no node of the graph owns.
    std::optional<PinOwner> OwnerOf(const GUID& pinId) const;

    /// As OwnerOf, with the owner given by its place in SortedNodes().
    std::optional<std::pair<std::size_t, PinSide>> OwnerPlaceOf(const GUID& pinId) const;

private:
    const Graph& graph;
    IdentifierList sortedNodes;
    IdTable owners; // a pin's owner as its place times two, plus one for an output pin
};

/// The demangled name of a type, as a person writes it.
std::string TypeName(const std::type_info& type);

/// The node function's name in double quotes, or the GUID for an id that names no node.
std::string NodeName(const Graph& graph, const GUID& nodeId);

/// The pin's name as its node function gives it, or its GUID when the function cannot say.
std::string PinName(const GraphIndex& index, const GUID& pinId);

/// NodeName.PinName of the owning node, or the GUID for a pin that no node owns.
std::string QualifiedPinName(const GraphIndex& index, const GUID& pinId);

IdentifierList Sorted(const IdentifierSet& ids);

} // namespace datagraph::diagnostics
