#include "store/GraphStore.h"

#include "Checks.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace datagraph {

GraphStore::~GraphStore() {
    StopWatchingInnerGraphs();
    lastPlan.reset();
    lastOrder.reset();
    pins.Clear();
    nodes.Clear();
}

bool GraphStore::NodeRecord::IsUnconnected() const {
    for (const PinRecord* pin : inputPins) {
        if (pin->upstream != nullptr || !pin->downstream.empty()) {
            return false;
        }
    }
    for (const PinRecord* pin : outputPins) {
        if (!pin->downstream.empty()) {
            return false;
        }
    }
    return true;
}

GraphStore::NodeRecord& GraphStore::AddNodeRecord(const GUID& nodeId, std::size_t pinSlots) {
    NodeRecord* node =
        nodes.TryEmplaceIn(RecordStorage{pinSlots * sizeof(PinRecord), nullptr}, nodeId, nodeId);
    CheckThat(node != nullptr, "GUID is already assigned to an existing node.");
    node->pinSlots = pinSlots;
    return *node;
}

// Each pin's insertion doubles as the check that its id is free. Until the node is complete,
// every way out (a clash, or an allocation that fails) takes back everything inserted before it,
// so a refused node leaves the store exactly as it was.
bool GraphStore::TryAddNode(const GUID& nodeId, std::shared_ptr<Node> node,
                            const Schema& inputSchema, const Schema& outputSchema,
                            const GUID& executionSubgraph) {
    NodeRecord& record = AddNodeRecord(nodeId, inputSchema.size() + outputSchema.size());

    struct Rollback {
        GraphStore& store;
        NodeRecord* record;

        ~Rollback() {
            if (record != nullptr) {
                store.RemoveUnlinkedNode(*record);
            }
        }
    } rollback{*this, &record};

    record.node = std::move(node);
    record.inputPins.reserve(inputSchema.size());
    record.outputPins.reserve(outputSchema.size());
    std::size_t k = 0;
    for (const auto& [pinId, dataType] : inputSchema) {
        if (!TryAddPinIn(record, pinId, dataType, false, PinSlot(record, k++))) {
            return false;
        }
    }
    for (const auto& [pinId, dataType] : outputSchema) {
        if (!TryAddPinIn(record, pinId, dataType, true, PinSlot(record, k++))) {
            return false;
        }
    }
    AddSubgraphEntryFor(nodeId, &record, executionSubgraph);
    rollback.record = nullptr;

    // Nothing below allocates: entries filed under the id before the node existed become its own.
    auto absent = subgraphEntriesOfAbsentNodes.find(nodeId);
    if (absent != subgraphEntriesOfAbsentNodes.end()) {
        record.furtherEntries = std::move(absent->second);
        subgraphEntriesOfAbsentNodes.erase(absent);
        for (const auto& entry : record.furtherEntries) {
            entry->node = &record;
        }
    }
    return true;
}

bool GraphStore::TryAddPin(NodeRecord& node, const GUID& pinId, const std::type_info& dataType,
                           bool outputPin) {
    return TryAddPinIn(node, pinId, dataType, outputPin, RecordStorage());
}

bool GraphStore::TryAddPinIn(NodeRecord& node, const GUID& pinId, const std::type_info& dataType,
                             bool outputPin, RecordStorage storage) {
    // The node's list grows first, so that nothing after the record is made can throw.
    PinList& sidePins = outputPin ? node.outputPins : node.inputPins;
    if (sidePins.size() == sidePins.capacity()) {
        sidePins.reserve(2 * sidePins.capacity());
    }
    PinRecord* record = pins.TryEmplaceIn(storage, pinId, dataType, pinId, node, outputPin);
    if (record == nullptr) {
        return false;
    }
    sidePins.push_back(record);
    node.upToDate = false;
    StructureChanged();
    return true;
}

void GraphStore::RemoveUnlinkedNode(NodeRecord& node) {
    for (const PinRecord* pin : node.inputPins) {
        pins.Erase(pin->Id());
    }
    for (const PinRecord* pin : node.outputPins) {
        pins.Erase(pin->Id());
    }
    const GUID nodeId = node.id;
    nodes.Erase(nodeId);
    StructureChanged();
}

void GraphStore::DestroyPin(PinRecord& pin) {
    PinList& sidePins = pin.isOutput ? pin.owner->outputPins : pin.owner->inputPins;
    sidePins.erase(std::find(sidePins.begin(), sidePins.end(), &pin));
    pin.owner->upToDate = false;
    const std::shared_ptr<const IDataValue> doomedValue = ReleasePin(pin);
}

void GraphStore::DestroyNode(NodeRecord& node) {
    StopWatchingInnerGraph(node);
    // Host objects die only once the records agree again, pins' values before the function.
    const std::shared_ptr<Node> doomedNode = std::move(node.node);
    boost::container::small_vector<std::shared_ptr<const IDataValue>, 4> doomedValues;
    for (PinRecord* pin : node.inputPins) {
        doomedValues.push_back(ReleasePin(*pin));
    }
    for (PinRecord* pin : node.outputPins) {
        doomedValues.push_back(ReleasePin(*pin));
    }
    UnlinkSubgraphEntries(node);
    const GUID nodeId = node.id;
    nodes.Erase(nodeId);
    StructureChanged();
}

bool GraphStore::DestroyEntriesOfAbsentNode(const GUID& nodeId) {
    auto absent = subgraphEntriesOfAbsentNodes.find(nodeId);
    if (absent == subgraphEntriesOfAbsentNodes.end()) {
        return false;
    }
    for (const auto& entry : absent->second) {
        UnlinkSubgraphEntry(*entry);
    }
    subgraphEntriesOfAbsentNodes.erase(absent);
    StructureChanged();
    return true;
}

void GraphStore::Clear() {
    StopWatchingInnerGraphs();
    if (subgraphEntriesOfAbsentNodes.empty()) { // every entry names a node
        subgraphs.clear();
    } else {
        nodes.ForEach([this](NodeRecord& node) { UnlinkSubgraphEntries(node); });
    }
    RecordTable<NodeRecord> doomedNodes;
    RecordTable<PinRecord> doomedPins;
    doomedNodes.Swap(nodes);
    doomedPins.Swap(pins);
    linksNotOutputToInput = 0;
    if (liveLinks) {
        liveLinks->clear();
    }
    StructureChanged();
    // The pins live in their nodes' blocks.
    doomedPins.Clear();
    doomedNodes.Clear();
}

void GraphStore::AddLink(PinRecord& upstreamPin, PinRecord& downstreamPin) {
    if (liveLinks) {
        // A multimap inserts after the entries of an equal key: one pin's links keep their order.
        downstreamPin.upstreamLink = liveLinks->emplace(upstreamPin.Id(), downstreamPin.Id());
    }
    upstreamPin.downstream.push_back(&downstreamPin);
    downstreamPin.upstream = &upstreamPin;
    upstreamPin.owner->movesPending = upstreamPin.owner->movesPending || upstreamPin.isOutput;
    ++downstreamPin.owner->linksIn;
    linksNotOutputToInput += IsLinkNotOutputToInput(upstreamPin, downstreamPin) ? 1 : 0;
    StructureChanged();
}

void GraphStore::RemoveUpstreamLink(PinRecord& downstreamPin) {
    PinList& siblings = downstreamPin.upstream->downstream;
    siblings.erase(std::find(siblings.begin(), siblings.end(), &downstreamPin));
    if (liveLinks) {
        liveLinks->erase(downstreamPin.upstreamLink);
    }
    linksNotOutputToInput -= IsLinkNotOutputToInput(*downstreamPin.upstream, downstreamPin) ? 1 : 0;
    --downstreamPin.owner->linksIn;
    downstreamPin.upstream = nullptr;
    StructureChanged();
}

void GraphStore::RemoveDownstreamLinks(PinRecord& upstreamPin) {
    for (PinRecord* downstreamPin : upstreamPin.downstream) {
        if (liveLinks) {
            liveLinks->erase(downstreamPin->upstreamLink);
        }
        linksNotOutputToInput -= IsLinkNotOutputToInput(upstreamPin, *downstreamPin) ? 1 : 0;
        --downstreamPin->owner->linksIn;
        downstreamPin->upstream = nullptr;
    }
    upstreamPin.downstream.clear();
    StructureChanged();
}

// Every link that names the pin goes with it, whichever end it stands at, so the link table never
// refers to a pin that is gone.
std::shared_ptr<const IDataValue> GraphStore::ReleasePin(PinRecord& pin) {
    if (pin.upstream != nullptr) {
        RemoveUpstreamLink(pin);
    }
    RemoveDownstreamLinks(pin);
    std::shared_ptr<const IDataValue> value = pin.pin.GetData();
    const GUID pinId = pin.Id();
    pins.Erase(pinId);
    StructureChanged();
    return value;
}

void GraphStore::AddSubgraphEntry(const GUID& nodeId, const GUID& executionSubgraph) {
    AddSubgraphEntryFor(nodeId, nodes.Find(nodeId), executionSubgraph);
}

void GraphStore::AddSubgraphEntryFor(const GUID& nodeId, NodeRecord* node,
                                     const GUID& executionSubgraph) {
    std::unique_ptr<SubgraphEntry> heapEntry;
    SubgraphEntries* owner = nullptr;
    if (node == nullptr || node->firstEntry.inUse) {
        owner = node != nullptr ? &node->furtherEntries : &subgraphEntriesOfAbsentNodes[nodeId];
        if (owner->size() == owner->capacity()) { // grown here, so that nothing below can throw
            owner->reserve(owner->empty() ? 2 : owner->size() * 2);
        }
        heapEntry = std::make_unique<SubgraphEntry>();
    }
    const auto subgraphPlace = subgraphs.try_emplace(executionSubgraph).first;

    // Nothing below can fail. Entries of one subgraph keep the order in which they were added.
    SubgraphEntry& entry = heapEntry ? *heapEntry : node->firstEntry;
    entry.subgraph = subgraphPlace;
    entry.nodeId = nodeId;
    entry.node = node;
    entry.next = nullptr;
    entry.inUse = true;
    SubgraphList& subgraph = subgraphPlace->second;
    entry.previous = subgraph.last;
    (subgraph.last != nullptr ? subgraph.last->next : subgraph.first) = &entry;
    subgraph.last = &entry;
    if (heapEntry) {
        owner->push_back(std::move(heapEntry));
    }
    StructureChanged();
}

void GraphStore::UnlinkSubgraphEntry(SubgraphEntry& entry) {
    SubgraphList& subgraph = entry.subgraph->second;
    (entry.previous != nullptr ? entry.previous->next : subgraph.first) = entry.next;
    (entry.next != nullptr ? entry.next->previous : subgraph.last) = entry.previous;
    if (subgraph.first == nullptr) {
        subgraphs.erase(entry.subgraph);
    }
    entry.inUse = false;
    StructureChanged();
}

void GraphStore::UnlinkSubgraphEntries(NodeRecord& node) {
    if (node.firstEntry.inUse) {
        UnlinkSubgraphEntry(node.firstEntry);
    }
    for (const auto& entry : node.furtherEntries) {
        UnlinkSubgraphEntry(*entry);
    }
}

const GraphStore::LinkTable& GraphStore::LiveLinks() const {
    if (!liveLinks) {
        auto table = std::make_unique<LinkTable>();
        RefillLiveLinks(*table);
        liveLinks = std::move(table);
    }
    return *liveLinks;
}

// The upstream pins in id order, so that every link goes in at the table's end: linear in the
// links after the sort, where pins in table order would each cost a search of the tree.
void GraphStore::RefillLiveLinks(LinkTable& table) const {
    std::vector<std::pair<GUID, const PinRecord*>> upstreamPins;
    pins.ForEach([&](const PinRecord& upstream) {
        if (!upstream.downstream.empty()) {
            upstreamPins.emplace_back(upstream.Id(), &upstream);
        }
    });
    std::sort(upstreamPins.begin(), upstreamPins.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    LinkTable links;
    for (const auto& [pinId, upstream] : upstreamPins) {
        for (PinRecord* downstream : upstream->downstream) {
            downstream->upstreamLink = links.emplace_hint(links.end(), pinId, downstream->Id());
        }
    }
    table.swap(links); // the records' iterators now point into `table`
}

void GraphStore::TakeOverFrom(GraphStore& replaced) {
    replaced.NoteEditForHolders();
    structureVersion = replaced.structureVersion + 1;
    holdingUbernodes = replaced.holdingUbernodes;
    editObserver = replaced.editObserver;
    history = replaced.history;
    if (replaced.liveLinks) {
        RefillLiveLinks(*replaced.liveLinks);
        liveLinks = std::move(replaced.liveLinks);
    }
}

} // namespace datagraph
