#include "store/GraphStore.h"

#include "run/TraversalPlan.h"

#include <boost/container/small_vector.hpp>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

// Only what the header defines is used here, so that tests may compile this file on its own
// against the library's records.

namespace datagraph {
namespace {

[[noreturn]] void InvariantBroken(int number, const char* what) {
    throw GraphException("graph store invariant " + std::to_string(number) + " broken: " + what);
}

// Called a few times per record on every check, so the passing case stays inline.
inline void Invariant(int number, bool holds, const char* what) {
    if (!holds) {
        InvariantBroken(number, what);
    }
}

template <typename List, typename Item> std::size_t Occurrences(const List& list, Item item) {
    return static_cast<std::size_t>(std::count(list.begin(), list.end(), item));
}

} // namespace

void GraphStore::CheckConsistency() const {
    CheckNodes();
    CheckPins();
    CheckLinks();
    CheckLiveLinks();
    CheckSubgraphs();
    CheckCaches();
    CheckChangeLists();
}

void GraphStore::CheckNodes() const {
    for (std::size_t place = 0; place < nodes.Size(); ++place) {
        const NodeRecord& node = nodes.At(place);
        Invariant(1, node.place == place, "a node record is not at its own place");
        Invariant(1, nodes.Find(node.id) == &node, "a node record is not found under its id");
        Invariant(1, node.node != nullptr, "a node record holds no node");
        Invariant(1, !node.inBlock, "a node record lives in another record's block");
    }
}

void GraphStore::CheckPins() const {
    std::size_t listed = 0;
    for (std::size_t place = 0; place < pins.Size(); ++place) {
        const PinRecord& pin = pins.At(place);
        Invariant(2, pin.place == place, "a pin record is not at its own place");
        Invariant(2, pins.Find(pin.Id()) == &pin, "a pin record is not found under its id");
        const NodeRecord* owner = pin.owner;
        Invariant(2, owner != nullptr && nodes.Find(owner->id) == owner,
                  "a pin's owner is not a node record of the graph");
        Invariant(2, Occurrences(owner->Pins(pin.isOutput), &pin) == 1,
                  "a pin's owner does not list it once on its side");
        Invariant(2, Occurrences(owner->Pins(!pin.isOutput), &pin) == 0,
                  "a pin's owner lists it on the other side");
    }
    nodes.ForEach([&](const NodeRecord& node) {
        for (bool output : {false, true}) {
            for (const PinRecord* pin : node.Pins(output)) {
                Invariant(2, pins.Find(pin->Id()) == pin && pin->owner == &node,
                          "a node lists a pin that is not its own");
                ++listed;
            }
        }
    });
    Invariant(2, listed == pins.Size(), "the nodes do not list every pin once");

    // Two records cannot share a slot: they would be one record, listed twice (invariant 2).
    pins.ForEach([&](const PinRecord& pin) {
        if (!pin.inBlock) {
            return;
        }
        const char* blockStart = reinterpret_cast<const char*>(pin.owner) + sizeof(NodeRecord);
        const char* at = reinterpret_cast<const char*>(&pin);
        const auto offset = static_cast<std::size_t>(at - blockStart);
        Invariant(7,
                  at >= blockStart && offset % sizeof(PinRecord) == 0 &&
                      offset / sizeof(PinRecord) < pin.owner->pinSlots,
                  "a pin record in a block is not in a slot of its owner's block");
    });
}

void GraphStore::CheckLinks() const {
    std::size_t linksNotForward = 0;
    pins.ForEach([&](const PinRecord& pin) {
        if (pin.upstream != nullptr) {
            Invariant(3, pins.Find(pin.upstream->Id()) == pin.upstream,
                      "a pin's upstream pin is not a pin of the graph");
            Invariant(3, Occurrences(pin.upstream->downstream, &pin) == 1,
                      "a pin's upstream pin does not list it once downstream");
            linksNotForward += IsLinkNotOutputToInput(*pin.upstream, pin) ? 1 : 0;
        }
        for (const PinRecord* downstream : pin.downstream) {
            Invariant(3, downstream->upstream == &pin, "a downstream pin has another upstream pin");
        }
    });
    nodes.ForEach([&](const NodeRecord& node) {
        std::int32_t linked = 0;
        for (bool output : {false, true}) {
            for (const PinRecord* pin : node.Pins(output)) {
                linked += pin->upstream != nullptr ? 1 : 0;
            }
        }
        Invariant(4, node.linksIn == linked, "a node's count of linked pins is wrong");
    });
    Invariant(5, linksNotOutputToInput == linksNotForward,
              "the count of links that do not run from an output to an input pin is wrong");
}

void GraphStore::CheckLiveLinks() const {
    if (!liveLinks) {
        return;
    }
    std::size_t links = 0;
    pins.ForEach([&](const PinRecord& pin) {
        links += pin.downstream.size();
        if (pin.downstream.empty()) {
            return;
        }
        const auto range = liveLinks->equal_range(pin.Id());
        Invariant(6,
                  static_cast<std::size_t>(std::distance(range.first, range.second)) ==
                      pin.downstream.size(),
                  "the link table and a pin's downstream list differ in length");
        auto entry = range.first;
        for (const PinRecord* downstream : pin.downstream) {
            Invariant(6, entry->second == downstream->Id(),
                      "the link table lists a pin's links in another order");
            Invariant(6, downstream->upstreamLink == entry,
                      "a linked pin does not refer to its own entry of the link table");
            ++entry;
        }
    });
    Invariant(6, links == liveLinks->size(), "the link table holds links the pins do not");
}

void GraphStore::CheckSubgraphs() const {
    std::size_t chained = 0;
    for (auto subgraph = subgraphs.begin(); subgraph != subgraphs.end(); ++subgraph) {
        const SubgraphList& list = subgraph->second;
        Invariant(8, list.first != nullptr && list.last != nullptr, "a subgraph has no entries");
        Invariant(8, list.first->previous == nullptr && list.last->next == nullptr,
                  "a subgraph's list does not end at its first and last entries");
        for (const SubgraphEntry* entry = list.first; entry != nullptr; entry = entry->next) {
            Invariant(8, entry->inUse, "a subgraph lists an entry that is not in use");
            Invariant(8, entry->subgraph == subgraph, "an entry points at another subgraph");
            Invariant(8, (entry->next == nullptr ? list.last : entry->next->previous) == entry,
                      "a subgraph's list is not chained both ways");
            const NodeRecord* node = nodes.Find(entry->nodeId);
            Invariant(9, entry->node == node,
                      "an entry does not point at the record of its node id");
            ++chained;
        }
    }

    std::size_t owned = 0;
    nodes.ForEach([&](const NodeRecord& node) {
        Invariant(9, node.firstEntry.inUse, "a node's first entry is not in use");
        Invariant(9, node.firstEntry.node == &node && node.firstEntry.nodeId == node.id,
                  "a node's first entry names another node");
        ++owned;
        for (const auto& entry : node.furtherEntries) {
            Invariant(9, entry->inUse && entry->node == &node && entry->nodeId == node.id,
                      "a node owns an entry that is unused or names another node");
            ++owned;
        }
    });
    for (const auto& [nodeId, entries] : subgraphEntriesOfAbsentNodes) {
        Invariant(9, nodes.Find(nodeId) == nullptr && !entries.empty(),
                  "entries are kept as those of an absent node for a node that exists");
        for (const auto& entry : entries) {
            Invariant(9, entry->inUse && entry->node == nullptr && entry->nodeId == nodeId,
                      "an entry of an absent node is unused or names another node");
            ++owned;
        }
    }
    Invariant(9, owned == chained, "the subgraph lists and the entries' owners disagree");
}

void GraphStore::CheckCaches() const {
    nodes.ForEach([&](const NodeRecord& node) {
        Invariant(10, node.visit <= lastVisit, "a node carries a visit stamp not handed out yet");
    });
    if (lastOrder && lastOrder->version == structureVersion) {
        Invariant(
            10, lastOrder->records.size() == nodes.Size() && lastOrder->ids.size() == nodes.Size(),
            "the cached order does not hold every node");
        for (std::size_t i = 0; i < lastOrder->records.size(); ++i) {
            Invariant(10, nodes.Find(lastOrder->ids[i]) == lastOrder->records[i],
                      "the cached order holds a record beside another id");
            Invariant(10, lastOrder->records[i]->orderPosition == i,
                      "a node record does not know its place in the cached order");
        }
        // Checked after every edit of a test run: small graphs need no allocation here.
        boost::container::small_vector<const NodeRecord*, 32> records(lastOrder->records.begin(),
                                                                      lastOrder->records.end());
        std::sort(records.begin(), records.end());
        Invariant(10, std::adjacent_find(records.begin(), records.end()) == records.end(),
                  "the cached order holds a record twice");
    }
    if (lastPlan) {
        Invariant(10, lastPlan->order && lastPlan->roles.size() == lastPlan->order->records.size(),
                  "the cached plan has not one role per node of its order");
    }
}

void GraphStore::CheckChangeLists() const {
    if (ChangeListsAreCurrent()) {
        std::size_t listed = 0;
        auto walk = [&](const NodeRecord* first, NodeRecord::ChangeList mark) {
            const NodeRecord* previous = nullptr;
            for (const NodeRecord* node = first; node != nullptr; node = node->listNext) {
                Invariant(11, nodes.Find(node->id) == node,
                          "a listed node is no record of the graph");
                Invariant(11, node->changeList == mark && node->listPrevious == previous,
                          "a listed node is not marked as held by its list, or not chained back");
                Invariant(11, ++listed <= nodes.Size(), "a change list runs in a circle");
                previous = node;
            }
        };
        walk(changedNodes, NodeRecord::ChangeList::Active);
        walk(parkedNodes, NodeRecord::ChangeList::Parked);
        std::size_t marked = 0;
        nodes.ForEach([&](const NodeRecord& node) {
            Invariant(11, node.changeList != NodeRecord::ChangeList::Taken,
                      "a node is marked as taken by a run outside a run");
            marked += node.changeList != NodeRecord::ChangeList::None ? 1 : 0;
            Invariant(11,
                      (node.upToDate && !node.movesPending) ||
                          node.changeList != NodeRecord::ChangeList::None,
                      "a node that is not up to date is in no list");
        });
        Invariant(11, marked == listed, "a node marked as listed is in no list");
    }
    for (const Holder& holder : holders) {
        Invariant(
            12, holder.store != nullptr && holder.store->nodes.Find(holder.node->id) == holder.node,
            "a holder of the graph is no node record of its graph");
        Invariant(12, holder.node->watchesInnerGraph, "a holder of the graph does not watch it");
        Invariant(12,
                  std::count_if(
                      holders.begin(), holders.end(),
                      [&holder](const Holder& other) { return other.node == holder.node; }) == 1,
                  "a node holds the graph twice");
    }
}

} // namespace datagraph
