#pragma once

// What the diagnostics share: readable names for types, nodes and pins, and the questions about
// a pin that the graph answers only by throwing. None of these raises a GraphException.

#include <datagraph/Graph.h>

#include "store/GraphStore.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

/// A graph's node records in id order, gathered from its store in one pass and sorted once, so
/// that a walk over them visits the nodes in the order hosts see their ids.
class GraphIndex {
public:
    explicit GraphIndex(const Graph& graph);

    const Graph& GetGraph() const { return graph; }

    const GraphStore& Store() const { return store; }

    const std::vector<const GraphStore::NodeRecord*>& SortedRecords() const { return sorted; }

    /// The owning node and side of a pin, or nothing for an id that no node of the graph owns.
    std::optional<PinOwner> OwnerOf(const GUID& pinId) const;

private:
    const Graph& graph;
    const GraphStore& store;
    std::vector<const GraphStore::NodeRecord*> sorted;
};

/// A GUID as two numbers that order as the GUIDs do (byte by byte), compared in two steps.
struct IdKey {
    std::uint64_t high;
    std::uint64_t low;

    explicit IdKey(const GUID& id) {
        std::memcpy(&high, id.data, sizeof high);
        std::memcpy(&low, id.data + sizeof high, sizeof low);
        high = BigEndian(high);
        low = BigEndian(low);
    }

    bool operator<(const IdKey& other) const {
        return high < other.high || (high == other.high && low < other.low);
    }

private:
    static std::uint64_t BigEndian(std::uint64_t word) {
        std::uint8_t bytes[sizeof word];
        std::memcpy(bytes, &word, sizeof word);
        std::uint64_t value = 0;
        for (const std::uint8_t byte : bytes) {
            value = (value << 8) | byte;
        }
        return value;
    }
};

/// The records in id order. A long list is sorted by ids copied next to the records, so that no
/// comparison reads a record: on a large graph those reads miss the cache, and they made the sort
/// the slowest part of a diagnostic.
template <typename Record> void SortById(std::vector<const Record*>& records) {
    constexpr std::size_t kShort = 16;
    if (records.size() <= kShort) {
        std::sort(records.begin(), records.end(),
                  [](const Record* left, const Record* right) { return left->Id() < right->Id(); });
        return;
    }
    std::vector<std::pair<IdKey, const Record*>> keyed;
    keyed.reserve(records.size());
    for (const Record* record : records) {
        keyed.emplace_back(IdKey(record->Id()), record);
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& left, const auto& right) { return left.first < right.first; });
    for (std::size_t at = 0; at < keyed.size(); ++at) {
        records[at] = keyed[at].second;
    }
}

/// The demangled name of a type, as a person writes it.
std::string TypeName(const std::type_info& type);

/// The node function's name in double quotes, or the GUID for an id that names no node.
std::string NodeName(const Graph& graph, const GUID& nodeId);

/// The pin's name as its node function gives it, or its GUID when the function cannot say.
std::string PinName(const Graph& graph, const GUID& pinId);

/// NodeName.PinName of the owning node, or the GUID for a pin that no node owns.
std::string QualifiedPinName(const Graph& graph, const GUID& pinId);

IdentifierList Sorted(const IdentifierSet& ids);

} // namespace datagraph::diagnostics
