#include "Checks.h"
#include "GraphFields.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace datagraph {

Graph::Fields::NodeRecord* Graph::Fields::FindNode(const GUID& nodeId) {
    return nodes.Find(nodeId);
}

const Graph::Fields::NodeRecord* Graph::Fields::FindNode(const GUID& nodeId) const {
    return nodes.Find(nodeId);
}

Graph::Fields::PinRecord* Graph::Fields::FindPin(const GUID& pinId) {
    return pins.Find(pinId);
}

const Graph::Fields::PinRecord* Graph::Fields::FindPin(const GUID& pinId) const {
    return pins.Find(pinId);
}

// Every input pin holding a value, linked or not; marks are neither read nor changed.
DataMap Graph::Fields::GatherInputs(const NodeRecord& node) {
    DataMap inputs;
    inputs.reserve(node.inputPins.size());
    for (const PinRecord* pin : node.inputPins) {
        if (std::shared_ptr<const IDataValue> value = pin->pin.GetData()) {
            inputs.emplace(pin->pin.GetId(), std::move(value));
        }
    }
    return inputs;
}

// The number of distinct input nodes, as GetInputNodes counts them.
std::int32_t Graph::Fields::CountInputNodes(const NodeRecord& node) const {
    const std::uint32_t visit = NextVisit();
    std::int32_t count = 0;
    auto countOwner = [&](const NodeRecord& owner) {
        if (owner.visit != visit) {
            owner.visit = visit;
            ++count;
        }
    };
    for (const PinRecord* pin : node.inputPins) {
        if (pin->upstream != nullptr) {
            countOwner(*pin->upstream->owner);
            continue;
        }
        for (const PinRecord* downstream : pin->downstream) {
            countOwner(*downstream->owner);
        }
    }
    return count;
}

Graph::Fields::NodeRecord& Graph::Fields::AddNodeRecord(const GUID& nodeId, std::size_t pinCount) {
    NodeRecord* node =
        nodes.TryEmplaceIn(RecordStorage{pinCount * sizeof(PinRecord), nullptr}, nodeId);
    CheckThat(node != nullptr, "GUID is already assigned to an existing node.");
    node->id = nodeId;
    return *node;
}

void Graph::Fields::EraseNodeRecord(NodeRecord& node) {
    const GUID nodeId = node.id;
    nodes.Erase(nodeId);
}

void Graph::Fields::AddLink(PinRecord& upstreamPin, PinRecord& downstreamPin) {
    if (liveLinks) {
        // A multimap inserts after the entries of an equal key: one pin's links keep their order.
        downstreamPin.upstreamLink =
            liveLinks->emplace(upstreamPin.pin.GetId(), downstreamPin.pin.GetId());
    }
    upstreamPin.downstream.push_back(&downstreamPin);
    downstreamPin.upstream = &upstreamPin;
    ++downstreamPin.owner->linksIn;
    oddLinks += IsOddLink(upstreamPin, downstreamPin) ? 1 : 0;
    ++structureVersion;
}

void Graph::Fields::RemoveUpstreamLink(PinRecord& downstreamPin) {
    PinList& siblings = downstreamPin.upstream->downstream;
    siblings.erase(std::find(siblings.begin(), siblings.end(), &downstreamPin));
    if (liveLinks) {
        liveLinks->erase(downstreamPin.upstreamLink);
    }
    oddLinks -= IsOddLink(*downstreamPin.upstream, downstreamPin) ? 1 : 0;
    --downstreamPin.owner->linksIn;
    downstreamPin.upstream = nullptr;
    ++structureVersion;
}

void Graph::Fields::RemoveDownstreamLinks(PinRecord& upstreamPin) {
    for (PinRecord* downstreamPin : upstreamPin.downstream) {
        if (liveLinks) {
            liveLinks->erase(downstreamPin->upstreamLink);
        }
        oddLinks -= IsOddLink(upstreamPin, *downstreamPin) ? 1 : 0;
        --downstreamPin->owner->linksIn;
        downstreamPin->upstream = nullptr;
    }
    upstreamPin.downstream.clear();
    ++structureVersion;
}

bool Graph::Fields::TryAddPin(NodeRecord& node, const GUID& pinId, const std::type_info& dataType,
                              bool outputPin, RecordStorage storage) {
    PinRecord* record = pins.TryEmplaceIn(storage, pinId, dataType, pinId, node, outputPin);
    if (record == nullptr) {
        return false;
    }
    (outputPin ? node.outputPins : node.inputPins).push_back(record);
    ++structureVersion;
    return true;
}

void Graph::Fields::RemoveUnlinkedNode(NodeRecord& node) {
    for (const PinRecord* pin : node.inputPins) {
        pins.Erase(pin->pin.GetId());
    }
    for (const PinRecord* pin : node.outputPins) {
        pins.Erase(pin->pin.GetId());
    }
    EraseNodeRecord(node);
    ++structureVersion;
}

// Every link that names the pin goes with it, whichever end it stands at, so the link table never
// refers to a pin that is gone.
std::shared_ptr<const IDataValue> Graph::Fields::ReleasePin(PinRecord& pinRecord) {
    if (pinRecord.upstream != nullptr) {
        RemoveUpstreamLink(pinRecord);
    }
    RemoveDownstreamLinks(pinRecord);
    std::shared_ptr<const IDataValue> value = pinRecord.pin.GetData();
    const GUID pinId = pinRecord.pin.GetId();
    pins.Erase(pinId);
    ++structureVersion;
    return value;
}

void Graph::Fields::AddSubgraphEntry(const GUID& nodeId, NodeRecord* node,
                                     const GUID& executionSubgraph) {
    std::unique_ptr<SubgraphEntry> heapEntry;
    SubgraphEntries* owner = nullptr;
    if (node == nullptr || node->ownEntry.inUse) {
        owner = node != nullptr ? &node->moreEntries : &subgraphEntriesOfAbsentNodes[nodeId];
        if (owner->size() == owner->capacity()) { // grown here, so that nothing below can throw
            owner->reserve(owner->empty() ? 2 : owner->size() * 2);
        }
        heapEntry = std::make_unique<SubgraphEntry>();
    }
    const auto subgraphPlace = subgraphs.try_emplace(executionSubgraph).first;

    // Nothing below can fail. Entries of one subgraph keep the order in which they were added.
    SubgraphEntry& entry = heapEntry ? *heapEntry : node->ownEntry;
    entry.subgraph = subgraphPlace;
    entry.nodeId = nodeId;
    entry.node = node;
    entry.next = nullptr;
    entry.inUse = true;
    Subgraph& subgraph = subgraphPlace->second;
    entry.previous = subgraph.last;
    (subgraph.last != nullptr ? subgraph.last->next : subgraph.first) = &entry;
    subgraph.last = &entry;
    if (heapEntry) {
        owner->push_back(std::move(heapEntry));
    }
    ++structureVersion;
}

void Graph::Fields::UnlinkSubgraphEntry(SubgraphEntry& entry) {
    Subgraph& subgraph = entry.subgraph->second;
    (entry.previous != nullptr ? entry.previous->next : subgraph.first) = entry.next;
    (entry.next != nullptr ? entry.next->previous : subgraph.last) = entry.previous;
    if (subgraph.first == nullptr) {
        subgraphs.erase(entry.subgraph);
    }
    entry.inUse = false;
    ++structureVersion;
}

void Graph::Fields::UnlinkSubgraphEntries(NodeRecord& node) {
    if (node.ownEntry.inUse) {
        UnlinkSubgraphEntry(node.ownEntry);
    }
    for (const auto& entry : node.moreEntries) {
        UnlinkSubgraphEntry(*entry);
    }
}

const Graph::Fields::LinkTable& Graph::Fields::LiveLinks() const {
    if (!liveLinks) {
        auto table = std::make_unique<LinkTable>();
        RefillLiveLinks(*table);
        liveLinks = std::move(table);
    }
    return *liveLinks;
}

// The upstream pins in id order, so that every link goes in at the table's end: linear in the
// links after the sort, where pins in table order would each cost a search of the tree.
void Graph::Fields::RefillLiveLinks(LinkTable& table) const {
    std::vector<std::pair<GUID, const PinRecord*>> upstreamPins;
    pins.ForEach([&](const PinRecord& upstream) {
        if (!upstream.downstream.empty()) {
            upstreamPins.emplace_back(upstream.pin.GetId(), &upstream);
        }
    });
    std::sort(upstreamPins.begin(), upstreamPins.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    LinkTable links;
    for (const auto& [pinId, upstream] : upstreamPins) {
        for (PinRecord* downstream : upstream->downstream) {
            downstream->upstreamLink =
                links.emplace_hint(links.end(), pinId, downstream->pin.GetId());
        }
    }
    table.swap(links); // the records' iterators now point into `table`
}

} // namespace datagraph
