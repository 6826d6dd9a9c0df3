#include "history/StoreToggles.h"

#include <algorithm>
#include <utility>

namespace datagraph {

using Toggles = GraphStore::Toggles;

void EditNotice::TellTo(IGraphEditObserver& observer) const {
    switch (kind) {
    case Kind::NodeCreated:
        return observer.NodeCreated(first);
    case Kind::NodeDestroyed:
        return observer.NodeDestroyed(first);
    case Kind::PinCreated:
        return observer.PinCreated(first, second, flag);
    case Kind::PinDestroyed:
        return observer.PinDestroyed(first, second, flag);
    case Kind::LinkMade:
        return observer.LinkMade(first, second);
    case Kind::LinkRemoved:
        return observer.LinkRemoved(first, second);
    case Kind::PinDataWritten:
        return observer.PinDataWritten(first);
    case Kind::PinMarkSet:
        return observer.PinMarkSet(first, flag);
    case Kind::NodeDirtySet:
        return observer.NodeDirtySet(first, flag);
    case Kind::NodeDisabledSet:
        return observer.NodeDisabledSet(first, flag);
    case Kind::EntryAdded:
        return observer.NodeAssignedToExecutionSubgraph(first, second);
    case Kind::EntryRemoved:
        return observer.NodeRemovedFromExecutionSubgraph(first, second);
    case Kind::EntriesRemoved:
        return observer.SubgraphEntriesRemoved(first);
    case Kind::GraphCleared:
        return observer.GraphCleared();
    case Kind::GraphAssigned:
        return observer.GraphAssigned();
    }
}

namespace {

void Tell(EditNotices* notices, EditNotice::Kind kind, const GUID& first,
          const GUID& second = GUID(), bool flag = false) noexcept {
    if (notices != nullptr) {
        notices->push_back(EditNotice{kind, flag, first, second}); // room made by Prepare
    }
}

std::uint32_t IndexIn(const GraphStore::PinList& list, const GraphStore::PinRecord* pin) {
    return static_cast<std::uint32_t>(std::find(list.begin(), list.end(), pin) - list.begin());
}

} // namespace

void Toggles::MakeRoom(GraphStore& store, const Room& room) {
    store.nodes.Reserve(room.nodes);
    store.pins.Reserve(room.pins);
    store.subgraphEntriesOfAbsentNodes.reserve(store.subgraphEntriesOfAbsentNodes.size() +
                                               room.absentIds);
}

// Subgraph entries.

void Toggles::UnlinkEntry(GraphStore& store, SubgraphEntry& entry, EntryPlace& place) noexcept {
    place.entry = &entry;
    place.previous = entry.previous;
    place.next = entry.next;
    place.subgraph = entry.subgraph->first;
    SubgraphList& subgraph = entry.subgraph->second;
    (entry.previous != nullptr ? entry.previous->next : subgraph.first) = entry.next;
    (entry.next != nullptr ? entry.next->previous : subgraph.last) = entry.previous;
    if (subgraph.first == nullptr) {
        place.emptied = store.subgraphs.extract(entry.subgraph); // kept, so that relinking
    }                                                            // cannot fail
    entry.previous = nullptr;
    entry.next = nullptr;
    entry.inUse = false;
    store.StructureChanged();
}

void Toggles::RelinkEntry(GraphStore& store, EntryPlace& place) noexcept {
    SubgraphEntry& entry = *place.entry;
    SubgraphTable::iterator subgraph =
        !place.emptied.empty() ? store.subgraphs.insert(std::move(place.emptied)).position
                               : store.subgraphs.find(place.subgraph);
    place.emptied = SubgraphHandle();
    entry.subgraph = subgraph;
    entry.previous = place.previous;
    entry.next = place.next;
    (entry.previous != nullptr ? entry.previous->next : subgraph->second.first) = &entry;
    (entry.next != nullptr ? entry.next->previous : subgraph->second.last) = &entry;
    entry.inUse = true;
    store.StructureChanged();
}

// The links of a pin that leaves alone (`leaving` null) or with its node.

std::size_t Toggles::CountLinks(const PinRecord& pin) {
    return (pin.upstream != nullptr ? 1 : 0) + pin.downstream.size();
}

void Toggles::TellLinks(const PinRecord& pin, const NodeRecord* leaving, bool made,
                        EditNotices& notices) {
    const auto kind = made ? EditNotice::Kind::LinkMade : EditNotice::Kind::LinkRemoved;
    if (pin.upstream != nullptr) {
        notices.push_back(EditNotice{kind, false, pin.upstream->Id(), pin.Id()});
    }
    for (const PinRecord* downstream : pin.downstream) {
        const bool toldThere =
            leaving != nullptr ? downstream->IsOwnedBy(*leaving) : downstream == &pin;
        if (!toldThere) {
            notices.push_back(EditNotice{kind, false, pin.Id(), downstream->Id()});
        }
    }
}

void Toggles::PrepareLinks(GraphStore& store, PinLinks& links, bool attached, Room& room) {
    PinRecord& pin = *links.pin;
    room.notices += CountLinks(pin);
    if (!store.liveLinks) {
        return;
    }
    if (attached) { // room for the table's entries it will keep
        links.downstreamLinks.reserve(pin.downstream.size());
        return;
    }
    // The link table may have been made while the pin was out: entries for it are made now.
    if (links.downstreamLinks.size() != pin.downstream.size()) {
        LinkTable scratch;
        std::vector<LinkHandle> handles;
        handles.reserve(pin.downstream.size());
        for (const PinRecord* downstream : pin.downstream) {
            handles.push_back(scratch.extract(scratch.emplace(pin.Id(), downstream->Id())));
        }
        links.downstreamLinks.swap(handles);
    }
    if (links.upstreamCut && links.upstreamLink.empty()) {
        LinkTable scratch;
        links.upstreamLink = scratch.extract(scratch.emplace(pin.upstream->Id(), pin.Id()));
    }
}

void Toggles::CutLinks(GraphStore& store, PinLinks& links, const NodeRecord* leaving) noexcept {
    PinRecord& pin = *links.pin;
    auto goesAlong = [&](const PinRecord& other) {
        return leaving != nullptr ? other.IsOwnedBy(*leaving) : &other == &pin;
    };
    links.upstreamCut = false;
    if (PinRecord* upstream = pin.upstream) {
        if (!goesAlong(*upstream)) {
            links.upstreamCut = true;
            links.upstreamIndex = IndexIn(upstream->downstream, &pin);
            upstream->downstream.erase(upstream->downstream.begin() + links.upstreamIndex);
            if (store.liveLinks) {
                links.upstreamLink = store.liveLinks->extract(pin.upstreamLink);
            }
            store.linksNotOutputToInput -= IsLinkNotOutputToInput(*upstream, pin) ? 1 : 0;
        }
        if (leaving == nullptr) {
            --pin.owner->linksIn;
        }
    }
    links.downstreamLinks.clear();
    for (PinRecord* downstream : pin.downstream) {
        if (store.liveLinks) {
            links.downstreamLinks.push_back(store.liveLinks->extract(downstream->upstreamLink));
        }
        store.linksNotOutputToInput -= IsLinkNotOutputToInput(pin, *downstream) ? 1 : 0;
        if (!goesAlong(*downstream)) {
            downstream->upstream = nullptr;
            --downstream->owner->linksIn;
        }
    }
    store.StructureChanged();
}

void Toggles::RestoreLinks(GraphStore& store, PinLinks& links, const NodeRecord* leaving) noexcept {
    PinRecord& pin = *links.pin;
    auto goesAlong = [&](const PinRecord& other) {
        return leaving != nullptr ? other.IsOwnedBy(*leaving) : &other == &pin;
    };
    // The pin's own entries come at the end of its key, which holds none while it is out.
    const bool tableKept = store.liveLinks && links.downstreamLinks.size() == pin.downstream.size();
    const LinkTable::iterator end =
        tableKept ? store.liveLinks->upper_bound(pin.Id()) : LinkTable::iterator();
    for (std::size_t k = 0; k < pin.downstream.size(); ++k) {
        PinRecord& downstream = *pin.downstream[k];
        if (tableKept) {
            downstream.upstreamLink =
                store.liveLinks->insert(end, std::move(links.downstreamLinks[k]));
        }
        store.linksNotOutputToInput += IsLinkNotOutputToInput(pin, downstream) ? 1 : 0;
        if (!goesAlong(downstream)) {
            downstream.upstream = &pin;
            ++downstream.owner->linksIn;
        }
    }
    links.downstreamLinks.clear();
    if (!pin.downstream.empty() && pin.isOutput) {
        pin.owner->movesPending = true;
    }
    if (PinRecord* upstream = pin.upstream) {
        if (links.upstreamCut) {
            PinList& siblings = upstream->downstream;
            siblings.insert(siblings.begin() + links.upstreamIndex, &pin);
            if (store.liveLinks && !links.upstreamLink.empty()) {
                const std::size_t next = links.upstreamIndex + 1;
                const LinkTable::iterator hint = next < siblings.size()
                                                     ? siblings[next]->upstreamLink
                                                     : store.liveLinks->upper_bound(upstream->Id());
                pin.upstreamLink = store.liveLinks->insert(hint, std::move(links.upstreamLink));
            }
            links.upstreamLink = LinkHandle();
            store.linksNotOutputToInput += IsLinkNotOutputToInput(*upstream, pin) ? 1 : 0;
            upstream->owner->movesPending = upstream->owner->movesPending || upstream->isOutput;
        }
        if (leaving == nullptr) {
            ++pin.owner->linksIn;
        }
    }
    store.StructureChanged();
}

// Records out of the graph.

void Toggles::DestroyDetachedPin(PinRecord* pin) noexcept {
    RecordTable<PinRecord>::DestroyDetached(pin);
}

void Toggles::DestroyDetachedNode(NodeRecord* node) noexcept {
    // Its pins first: those in its block die in place, before the block goes with the record.
    for (PinList* side : {&node->inputPins, &node->outputPins}) {
        for (PinRecord* pin : *side) {
            RecordTable<PinRecord>::DestroyDetached(pin);
        }
        side->clear();
    }
    RecordTable<NodeRecord>::DestroyDetached(node);
}

// Values and flags.

void Toggles::Write::Apply(Context& context) noexcept {
    written = !written;
    datagraph::Pin& object = pin->pin;
    const IDataValue* held = object.data.get();
    const std::shared_ptr<const IDataValue>& value = written ? after : before;
    context.released.push_back(std::exchange(object.data, value));
    object.updatedData = written ? afterMark : beforeMark;
    GraphStore::NoteHostWrote(*pin);
    if (object.data.get() != held) {
        Tell(context.notices, EditNotice::Kind::PinDataWritten, pin->Id());
    } else {
        Tell(context.notices, EditNotice::Kind::PinMarkSet, pin->Id(), GUID(), object.updatedData);
    }
}

void Toggles::Flag::Apply(Context& context) noexcept {
    set = !set;
    datagraph::Node& object = *node->node;
    const bool value = set ? after : before;
    (disabled ? object.disabled : object.dirty) = value;
    context.store->NoteNodeChanged(*node);
    Tell(context.notices,
         disabled ? EditNotice::Kind::NodeDisabledSet : EditNotice::Kind::NodeDirtySet, node->id,
         GUID(), value);
}

// Links.

void Toggles::Link::Prepare(GraphStore& store, Room& room) {
    room.notices += 1;
    if (!linked) {
        upstream->downstream.reserve(upstream->downstream.size() + 1);
        if (store.liveLinks && handle.empty()) {
            LinkTable scratch;
            handle = scratch.extract(scratch.emplace(upstream->Id(), downstream->Id()));
        }
    }
}

void Toggles::Link::Apply(Context& context) noexcept {
    GraphStore& store = *context.store;
    PinList& siblings = upstream->downstream;
    if (linked) {
        index = IndexIn(siblings, downstream);
        siblings.erase(siblings.begin() + index);
        if (store.liveLinks) {
            handle = store.liveLinks->extract(downstream->upstreamLink);
        }
        store.linksNotOutputToInput -= IsLinkNotOutputToInput(*upstream, *downstream) ? 1 : 0;
        --downstream->owner->linksIn;
        downstream->upstream = nullptr;
        Tell(context.notices, EditNotice::Kind::LinkRemoved, upstream->Id(), downstream->Id());
    } else {
        siblings.insert(siblings.begin() + index, downstream);
        if (store.liveLinks && !handle.empty()) {
            const std::size_t next = index + 1;
            const LinkTable::iterator hint = next < siblings.size()
                                                 ? siblings[next]->upstreamLink
                                                 : store.liveLinks->upper_bound(upstream->Id());
            downstream->upstreamLink = store.liveLinks->insert(hint, std::move(handle));
        }
        handle = LinkHandle();
        downstream->upstream = upstream;
        ++downstream->owner->linksIn;
        upstream->owner->movesPending = upstream->owner->movesPending || upstream->isOutput;
        store.linksNotOutputToInput += IsLinkNotOutputToInput(*upstream, *downstream) ? 1 : 0;
        Tell(context.notices, EditNotice::Kind::LinkMade, upstream->Id(), downstream->Id());
    }
    linked = !linked;
    store.StructureChanged();
}

// One pin.

Toggles::Pin::Pin(PinRecord& pin, bool attached)
    : owner(pin.owner)
    , attached(attached) {
    links.pin = &pin;
}

Toggles::Pin::Pin(Pin&& other) noexcept
    : links(std::move(other.links))
    , owner(other.owner)
    , attached(other.attached) {
    other.links.pin = nullptr;
}

Toggles::Pin::~Pin() {
    if (!attached && links.pin != nullptr) {
        DestroyDetachedPin(links.pin);
    }
}

void Toggles::Pin::Prepare(GraphStore& store, Room& room) {
    room.notices += 1;
    PrepareLinks(store, links, attached, room);
    if (!attached) {
        room.pins += 1;
        PinList& side = links.pin->isOutput ? owner->outputPins : owner->inputPins;
        side.reserve(side.size() + 1);
    }
}

void Toggles::Pin::Apply(Context& context) noexcept {
    GraphStore& store = *context.store;
    PinRecord& pin = *links.pin;
    PinList& side = pin.isOutput ? owner->outputPins : owner->inputPins;
    if (attached) {
        if (context.notices != nullptr) {
            TellLinks(pin, nullptr, false, *context.notices);
        }
        CutLinks(store, links, nullptr);
        links.listIndex = IndexIn(side, &pin);
        side.erase(side.begin() + links.listIndex);
        store.pins.Detach(pin.Id());
        Tell(context.notices, EditNotice::Kind::PinDestroyed, owner->id, pin.Id(), pin.isOutput);
    } else {
        store.pins.Reattach(pin.Id(), &pin);
        side.insert(side.begin() + links.listIndex, &pin);
        RestoreLinks(store, links, nullptr);
        Tell(context.notices, EditNotice::Kind::PinCreated, owner->id, pin.Id(), pin.isOutput);
        if (context.notices != nullptr) {
            TellLinks(pin, nullptr, true, *context.notices);
        }
    }
    attached = !attached;
    owner->upToDate = false;
    store.StructureChanged();
}

// A whole node.

Toggles::Node::Node(NodeRecord& node, bool attached, bool made)
    : node(&node)
    , attached(attached)
    , made(made) {}

Toggles::Node::Node(Node&& other) noexcept
    : node(other.node)
    , attached(other.attached)
    , made(other.made)
    , quiet(other.quiet)
    , pins(std::move(other.pins))
    , entries(std::move(other.entries))
    , absentEntries(std::move(other.absentEntries)) {
    other.node = nullptr;
}

Toggles::Node::~Node() {
    if (!attached && node != nullptr) {
        DestroyDetachedNode(node);
    }
}

void Toggles::Node::Prepare(GraphStore& store, Room& room) {
    room.notices += quiet ? 0 : 1;
    if (attached) {
        std::vector<PinLinks> leaving(node->inputPins.size() + node->outputPins.size());
        std::size_t k = 0;
        for (const PinList* side : {&node->inputPins, &node->outputPins}) {
            for (PinRecord* pin : *side) {
                leaving[k++].pin = pin;
            }
        }
        Room links;
        for (PinLinks& pin : leaving) {
            PrepareLinks(store, pin, true, links);
        }
        room.notices += quiet ? 0 : links.notices;
        std::size_t entryCount = node->firstEntry.inUse ? 1 : 0;
        if (!made) {
            entryCount += node->furtherEntries.size();
        } else if (!node->furtherEntries.empty() && absentEntries.empty()) {
            // Its entries from before it existed stay behind, under its id.
            std::unordered_map<GUID, SubgraphEntries, GuidHash> scratch;
            scratch.emplace(node->id, SubgraphEntries());
            absentEntries = scratch.extract(node->id);
        }
        if (made) {
            room.absentIds += 1;
        }
        entries.clear();
        entries.reserve(entryCount);
        pins.swap(leaving);
    } else {
        room.nodes += 1;
        room.pins += pins.size();
        Room links;
        for (PinLinks& pin : pins) {
            PrepareLinks(store, pin, false, links);
        }
        room.notices += quiet ? 0 : links.notices;
    }
}

void Toggles::Node::Apply(Context& context) noexcept {
    GraphStore& store = *context.store;
    EditNotices* notices = quiet ? nullptr : context.notices;
    if (attached) {
        if (notices != nullptr) {
            for (const PinLinks& pin : pins) {
                TellLinks(*pin.pin, node, false, *notices);
            }
        }
        store.StopWatchingInnerGraph(*node);
        for (PinLinks& pin : pins) {
            CutLinks(store, pin, node);
        }
        if (node->firstEntry.inUse) {
            entries.emplace_back();
            UnlinkEntry(store, node->firstEntry, entries.back());
        }
        if (!made) {
            for (const auto& entry : node->furtherEntries) {
                entries.emplace_back();
                UnlinkEntry(store, *entry, entries.back());
            }
        } else if (!node->furtherEntries.empty()) {
            for (const auto& entry : node->furtherEntries) {
                entry->node = nullptr;
            }
            absentEntries.mapped() = std::move(node->furtherEntries);
            node->furtherEntries = SubgraphEntries();
            store.subgraphEntriesOfAbsentNodes.insert(std::move(absentEntries));
            absentEntries = decltype(absentEntries)();
        }
        for (const PinLinks& pin : pins) {
            store.pins.Detach(pin.pin->Id());
        }
        store.nodes.Detach(node->id);
        Tell(notices, EditNotice::Kind::NodeDestroyed, node->id);
    } else {
        store.nodes.Reattach(node->id, node);
        for (auto pin = pins.rbegin(); pin != pins.rend(); ++pin) {
            store.pins.Reattach(pin->pin->Id(), pin->pin);
        }
        if (made) {
            auto absent = store.subgraphEntriesOfAbsentNodes.find(node->id);
            if (absent != store.subgraphEntriesOfAbsentNodes.end()) {
                absentEntries = store.subgraphEntriesOfAbsentNodes.extract(absent);
                node->furtherEntries = std::move(absentEntries.mapped());
                absentEntries.mapped() = SubgraphEntries();
                for (const auto& entry : node->furtherEntries) {
                    entry->node = node;
                }
            }
        }
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            RelinkEntry(store, *entry);
        }
        entries.clear();
        for (auto pin = pins.rbegin(); pin != pins.rend(); ++pin) {
            RestoreLinks(store, *pin, node);
        }
        node->upToDate = false;
        node->movesPending = false;
        node->visit = 0; // stamps handed out while it was away may have started again from 1
        node->changeList = NodeRecord::ChangeList::None;
        node->listPrevious = nullptr;
        node->listNext = nullptr;
        Tell(notices, EditNotice::Kind::NodeCreated, node->id);
        if (notices != nullptr) {
            for (const PinLinks& pin : pins) {
                TellLinks(*pin.pin, node, true, *notices);
            }
        }
    }
    attached = !attached;
    store.StructureChanged();
}

// Subgraph entries filed by the host.

void Toggles::Entry::Prepare(GraphStore& store, Room& room) {
    if (out == nullptr) {
        out = std::make_unique<Out>();
    }
    room.notices += 1;
    if (attached) {
        return;
    }
    room.absentIds += 1;
    if (NodeRecord* node = store.nodes.Find(nodeId)) {
        node->furtherEntries.reserve(node->furtherEntries.size() + 1);
    } else if (!out->absentEntries.empty()) {
        out->absentEntries.mapped().reserve(1);
    } else {
        auto absent = store.subgraphEntriesOfAbsentNodes.find(nodeId);
        if (absent != store.subgraphEntriesOfAbsentNodes.end()) {
            absent->second.reserve(absent->second.size() + 1);
        }
    }
}

void Toggles::Entry::Apply(Context& context) noexcept {
    GraphStore& store = *context.store;
    auto& [place, held, absentEntries] = *out;
    NodeRecord* node = store.nodes.Find(nodeId);
    if (attached) {
        SubgraphEntries* owner = nullptr;
        auto absent = store.subgraphEntriesOfAbsentNodes.end();
        if (node != nullptr) {
            owner = &node->furtherEntries;
        } else {
            absent = store.subgraphEntriesOfAbsentNodes.find(nodeId);
            owner = &absent->second;
        }
        held = std::move(owner->back());
        owner->pop_back();
        UnlinkEntry(store, *held, place);
        if (node == nullptr && owner->empty()) {
            absentEntries = store.subgraphEntriesOfAbsentNodes.extract(absent);
        }
        Tell(context.notices, EditNotice::Kind::EntryRemoved, nodeId, subgraph);
    } else {
        SubgraphEntries* owner = nullptr;
        if (node != nullptr) {
            owner = &node->furtherEntries;
        } else {
            auto absent = store.subgraphEntriesOfAbsentNodes.find(nodeId);
            if (absent == store.subgraphEntriesOfAbsentNodes.end()) {
                absent =
                    store.subgraphEntriesOfAbsentNodes.insert(std::move(absentEntries)).position;
                absentEntries = decltype(absentEntries)();
            }
            owner = &absent->second;
        }
        held->node = node;
        owner->push_back(std::move(held)); // room made by Prepare
        RelinkEntry(store, place);
        Tell(context.notices, EditNotice::Kind::EntryAdded, nodeId, subgraph);
    }
    attached = !attached;
}

// Entries of an absent node, removed together.

void Toggles::AbsentEntries::Prepare(GraphStore& store, Room& room) {
    if (attached) {
        auto absent = store.subgraphEntriesOfAbsentNodes.find(nodeId);
        room.notices += 1;
        places.clear();
        places.reserve(absent != store.subgraphEntriesOfAbsentNodes.end() ? absent->second.size()
                                                                          : 0);
    } else {
        room.notices += places.size();
        room.absentIds += 1;
    }
}

void Toggles::AbsentEntries::Apply(Context& context) noexcept {
    GraphStore& store = *context.store;
    if (attached) {
        auto absent = store.subgraphEntriesOfAbsentNodes.find(nodeId);
        for (const auto& entry : absent->second) {
            places.emplace_back();
            UnlinkEntry(store, *entry, places.back());
        }
        held = store.subgraphEntriesOfAbsentNodes.extract(absent);
        Tell(context.notices, EditNotice::Kind::EntriesRemoved, nodeId);
    } else {
        store.subgraphEntriesOfAbsentNodes.insert(std::move(held));
        held = decltype(held)();
        for (auto place = places.rbegin(); place != places.rend(); ++place) {
            RelinkEntry(store, *place);
        }
        for (const EntryPlace& place : places) {
            Tell(context.notices, EditNotice::Kind::EntryAdded, nodeId, place.subgraph);
        }
        places.clear();
    }
    attached = !attached;
}

// Clear.

void Toggles::Clear::Prepare(GraphStore& store, Room& room) {
    room.notices += 1;
    if (!cleared && nodes.empty()) {
        nodes.reserve(store.nodes.Size());
        for (std::size_t place = store.nodes.Size(); place-- > 0;) {
            nodes.emplace_back(store.nodes.At(place), true, false);
            nodes.back().quiet = true;
        }
    }
    for (Node& node : nodes) {
        node.Prepare(store, room);
    }
}

void Toggles::Clear::Apply(Context& context) noexcept {
    if (!cleared) {
        for (Node& node : nodes) {
            node.Apply(context);
        }
        Tell(context.notices, EditNotice::Kind::GraphCleared, GUID());
    } else {
        for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
            node->Apply(context);
        }
        Tell(context.notices, EditNotice::Kind::GraphAssigned, GUID());
    }
    cleared = !cleared;
}

// Assignment.

Toggles::Assignment Toggles::Assignment::Keep(std::unique_ptr<GraphStore> replaced) noexcept {
    replaced->StopWatchingInnerGraphs();
    replaced->editObserver = nullptr;
    replaced->history = nullptr;
    return Assignment{std::move(replaced), {}};
}

void Toggles::Assignment::Prepare(GraphStore& store, Room& room) {
    room.notices += 1;
    if (store.liveLinks) {
        other->RefillLiveLinks(links); // points the other store's records into `links`
    }
}

void Toggles::Swap(Graph& graph, Assignment& assignment, EditNotices* notices) noexcept {
    std::unique_ptr<GraphStore>& slot = GraphStore::SlotOf(graph);
    GraphStore& leaving = *slot;
    GraphStore& coming = *assignment.other;
    leaving.StopWatchingInnerGraphs();
    leaving.NoteEditForHolders();
    coming.structureVersion = std::max(leaving.structureVersion, coming.structureVersion) + 1;
    coming.lastVisit = 0;
    coming.holdingUbernodes = leaving.holdingUbernodes;
    coming.editObserver = leaving.editObserver;
    coming.history = leaving.history;
    coming.traversalInProgress = false;
    leaving.editObserver = nullptr;
    leaving.history = nullptr;
    if (leaving.liveLinks) {
        leaving.liveLinks->swap(assignment.links); // the table object stays the graph's
        coming.liveLinks = std::move(leaving.liveLinks);
        assignment.links.clear();
    }
    // What the graph held before may have changed meanwhile, nested graphs included: every node
    // runs again, and the caches are made afresh.
    coming.lastOrder.reset();
    coming.lastPlan.reset();
    coming.DropChangeLists();
    coming.nodes.ForEach([](NodeRecord& node) {
        node.upToDate = false;
        node.visit = 0;
        node.changeList = NodeRecord::ChangeList::None;
    });
    std::swap(slot, assignment.other);
    Tell(notices, EditNotice::Kind::GraphAssigned, GUID());
}

} // namespace datagraph
