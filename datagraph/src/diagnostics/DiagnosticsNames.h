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

/// A graph's node records in id order, gathered from its store in one pass and sorted once, so
/// that a walk over them visits the nodes in the order hosts see their ids.
class GraphIndex {
public:
    explicit GraphIndex(const Graph& graph);

    const Graph& GetGraph() const { return graph; }

    const GraphStore& Store() const { return store; }

    const std::vector<const GraphStore::NodeRecord*>& SortedRecords() const { return sorted; }

private:
    const Graph& graph;
    const GraphStore& store;
    std::vector<const GraphStore::NodeRecord*> sorted;
};

/// A GUID as two numbers that order as the GUIDs do (byte by byte), compared in two steps.
struct IdKey {
    std::uint64_t high = 0;
    std::uint64_t low = 0;

    IdKey() = default;

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

/// Sorts `entries` by the ids `idOf` gives, in time linear in their number for ids drawn at
/// random. A long list is dealt into buckets by the leading bits of the ids, about eight entries
/// per bucket and at most 65,536 buckets (their counts stay in a fast cache), and each bucket
/// sorted on its own; ids that share their leading bits (a host's own
/// scheme) only make some buckets longer, and those take n log n. Each id is read once, in the
/// order of the entries, and copied next to its entry's place: when the ids sit in records
/// spread over a large graph, reading them in any other order misses the cache at every step.
/// Entries of equal ids keep their order.
template <typename Entry, typename IdOf> void SortByIdOf(std::vector<Entry>& entries, IdOf idOf) {
    constexpr std::size_t kShort = 32;
    if (entries.size() <= kShort) {
        // Insertion: stable, and no buffer to allocate for the few pins of one node.
        for (std::size_t at = 1; at < entries.size(); ++at) {
            for (std::size_t k = at; k > 0 && idOf(entries[k]) < idOf(entries[k - 1]); --k) {
                std::swap(entries[k], entries[k - 1]);
            }
        }
        return;
    }
    using Keyed = std::pair<IdKey, std::size_t>; // the id, and the entry's place
    int bits = 1;
    while (bits < 16 && (std::size_t(1) << (bits + 3)) <= entries.size()) {
        ++bits;
    }
    const int shift = 64 - bits;
    std::vector<std::size_t> starts((std::size_t(1) << bits) + 1, 0);
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (std::size_t at = 0; at < entries.size(); ++at) {
        keyed.emplace_back(IdKey(idOf(entries[at])), at);
        ++starts[(keyed.back().first.high >> shift) + 1];
    }
    for (std::size_t bucket = 1; bucket < starts.size(); ++bucket) {
        starts[bucket] += starts[bucket - 1];
    }
    std::vector<Keyed> dealt(keyed.size());
    std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
    for (const Keyed& entry : keyed) {
        dealt[next[entry.first.high >> shift]++] = entry;
    }
    const auto byKey = [](const Keyed& left, const Keyed& right) {
        return left.first < right.first ||
               (!(right.first < left.first) && left.second < right.second);
    };
    for (std::size_t bucket = 0; bucket + 1 < starts.size(); ++bucket) {
        if (starts[bucket + 1] - starts[bucket] > 1) {
            std::sort(dealt.begin() + static_cast<std::ptrdiff_t>(starts[bucket]),
                      dealt.begin() + static_cast<std::ptrdiff_t>(starts[bucket + 1]), byKey);
        }
    }
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (const Keyed& entry : dealt) {
        sorted.push_back(std::move(entries[entry.second]));
    }
    entries.swap(sorted);
}

/// The records in id order (see SortByIdOf).
template <typename Record> void SortById(std::vector<const Record*>& records) {
    SortByIdOf(records, [](const Record* record) { return GUID(record->Id()); });
}

/// The owning node and side of a pin, or nothing for an id that no node of the store owns.
std::optional<PinOwner> OwnerIn(const GraphStore& store, const GUID& pinId);

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
