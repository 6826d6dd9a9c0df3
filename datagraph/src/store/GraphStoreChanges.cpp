// The bookkeeping behind TraverseChanged: which nodes are up to date, which must be looked at, and
// which ubernodes hear of an edit of the graph they hold. None of it may fail: a change that
// cannot be listed drops the lists, which the next run makes again from the records.

#include "store/GraphStore.h"

#include <datagraph/UbernodeNodeFunction.h>

#include <algorithm>

namespace datagraph {

GraphStore& GraphStore::NoteHostWrote(PinRecord& pin) noexcept {
    NodeRecord& owner = *pin.owner;
    GraphStore& store = *owner.node->graph.store;
    store.NoteNodeChanged(owner);
    // The next traversal hands the upstream output's value to this pin again.
    if (pin.upstream != nullptr && pin.upstream->isOutput) {
        NodeRecord& upstream = *pin.upstream->owner;
        upstream.movesPending = true;
        store.ListChangedNode(upstream);
    }
    return store;
}

void GraphStore::NotifyHostWrote(const PinRecord& pin, bool valueWritten) const {
    if (editObserver == nullptr || traversalInProgress) {
        return;
    }
    const GUID pinId = pin.Id();
    if (valueWritten) {
        editObserver->PinDataWritten(pinId);
    } else {
        editObserver->PinMarkSet(pinId, pin.pin.updatedData);
    }
}

void GraphStore::NoteNodeChanged(NodeRecord& node) noexcept {
    node.upToDate = false;
    ListChangedNode(node);
    NoteEditForHolders();
}

void GraphStore::LinkInto(NodeRecord*& first, NodeRecord& node) noexcept {
    node.listPrevious = nullptr;
    node.listNext = first;
    if (first != nullptr) {
        first->listPrevious = &node;
    }
    first = &node;
}

void GraphStore::UnlinkFrom(NodeRecord*& first, NodeRecord& node) noexcept {
    (node.listPrevious != nullptr ? node.listPrevious->listNext : first) = node.listNext;
    if (node.listNext != nullptr) {
        node.listNext->listPrevious = node.listPrevious;
    }
    node.listPrevious = nullptr;
    node.listNext = nullptr;
}

void GraphStore::ListChangedNode(NodeRecord& node) noexcept {
    if (!ChangeListsAreCurrent() || node.changeList == NodeRecord::ChangeList::Active ||
        node.changeList == NodeRecord::ChangeList::Taken) {
        return;
    }
    if (node.changeList == NodeRecord::ChangeList::Parked) {
        UnlinkFrom(parkedNodes, node);
    }
    LinkInto(changedNodes, node);
    node.changeList = NodeRecord::ChangeList::Active;
}

void GraphStore::ParkChangedNode(NodeRecord& node) noexcept {
    if (ChangeListsAreCurrent() && node.changeList == NodeRecord::ChangeList::None) {
        LinkInto(parkedNodes, node);
        node.changeList = NodeRecord::ChangeList::Parked;
    }
}

void GraphStore::DropChangeLists() noexcept {
    changeListsVersion = ~std::uint64_t(0);
    changedNodes = nullptr;
    parkedNodes = nullptr;
}

void GraphStore::TakeChangedNodes(const GUID& executionSubgraph, std::vector<NodeRecord*>& taken) {
    if (!ChangeListsAreCurrent()) {
        DropChangeLists();
        nodes.ForEach([this](NodeRecord& node) {
            node.changeList = NodeRecord::ChangeList::None;
            if (!node.upToDate || node.movesPending) {
                LinkInto(changedNodes, node);
                node.changeList = NodeRecord::ChangeList::Active;
            }
        });
        changeListsVersion = structureVersion;
    } else if (executionSubgraph != parkedFor) {
        while (NodeRecord* node = parkedNodes) {
            UnlinkFrom(parkedNodes, *node);
            LinkInto(changedNodes, *node);
            node->changeList = NodeRecord::ChangeList::Active;
        }
    }
    parkedFor = executionSubgraph;
    std::size_t count = 0;
    for (const NodeRecord* node = changedNodes; node != nullptr; node = node->listNext) {
        ++count;
    }
    taken.reserve(taken.size() + count);
    for (NodeRecord* node = changedNodes; node != nullptr; node = node->listNext) {
        taken.push_back(node);
        node->changeList = NodeRecord::ChangeList::Taken;
    }
    changedNodes = nullptr;
}

void GraphStore::TakeChangedNodesSince(std::uint32_t position, std::vector<NodeRecord*>& after,
                                       std::vector<NodeRecord*>& notAfter) {
    while (NodeRecord* node = changedNodes) {
        // Taken into the vector before anything changes: that may fail.
        (node->orderPosition > position ? after : notAfter).push_back(node);
        UnlinkFrom(changedNodes, *node);
        node->changeList = NodeRecord::ChangeList::Taken;
    }
}

void GraphStore::ReturnChangedNodes(const std::vector<NodeRecord*>& returned) noexcept {
    if (!ChangeListsAreCurrent()) {
        return;
    }
    for (NodeRecord* node : returned) {
        if (node->changeList == NodeRecord::ChangeList::Taken) {
            LinkInto(changedNodes, *node);
            node->changeList = NodeRecord::ChangeList::Active;
        }
    }
}

GraphStore* GraphStore::InnerStoreOf(const NodeRecord& node) {
    auto* ubernode = dynamic_cast<UbernodeNodeFunction*>(node.node->function.get());
    return ubernode != nullptr ? ubernode->GetGraph()->store.get() : nullptr;
}

void GraphStore::PrepareToTrackUbernode(NodeRecord& node) {
    if (node.functionKind == NodeRecord::FunctionKind::NotYetAsked) {
        node.functionKind = InnerStoreOf(node) != nullptr ? NodeRecord::FunctionKind::Ubernode
                                                          : NodeRecord::FunctionKind::Plain;
    }
    if (node.functionKind == NodeRecord::FunctionKind::Ubernode) {
        // Room to watch the inner graph afterwards, made before anything changes.
        if (GraphStore* inner = InnerStoreOf(node)) {
            inner->holders.reserve(inner->holders.size() + 1);
        }
        // What the ubernode writes into its inner graph while it runs is no edit of the host's.
        StopWatchingInnerGraph(node);
    }
}

void GraphStore::FinishTrackedExecutionOtherwise(const GUID& nodeId, const NodeRecord* record,
                                                 std::uint64_t version, bool ran, bool moved,
                                                 bool mayAllocate) {
    const bool structureKept = version == structureVersion;
    NodeRecord* node = structureKept ? &Own(*record) : nodes.Find(nodeId);
    if (node == nullptr) {
        return;
    }
    if (!ran || !structureKept) {
        node->upToDate = false;
        ListChangedNode(*node);
        return;
    }
    // Moves that failed part-way are made again by the next run, as a traversal would.
    node->movesPending = !moved;
    if (!moved) {
        ListChangedNode(*node);
    }
    if (!node->upToDate || node->functionKind != NodeRecord::FunctionKind::Ubernode) {
        return;
    }
    GraphStore* inner = InnerStoreOf(*node);
    if (inner == nullptr) {
        return;
    }
    try {
        inner->holders.push_back(Holder{this, node}); // room made by StartTrackedExecution
        node->watchesInnerGraph = true;
        WatchNestedGraphs(*inner);
    } catch (...) {
        node->upToDate = false; // it would not hear of every edit of its inner graphs
        ListChangedNode(*node);
        if (mayAllocate) {
            throw;
        } // else the run failed already, and says so
    }
}

// An edit deep down reaches an ubernode through the ubernodes between, whether or not those ran:
// each of them watches its own inner graph.
void GraphStore::WatchNestedGraphs(GraphStore& inner) {
    std::vector<GraphStore*> pending{&inner};
    while (!pending.empty()) {
        GraphStore& store = *pending.back();
        pending.pop_back();
        store.nodes.ForEach([&](NodeRecord& node) {
            if (node.functionKind == NodeRecord::FunctionKind::NotYetAsked) {
                node.functionKind = InnerStoreOf(node) != nullptr
                                        ? NodeRecord::FunctionKind::Ubernode
                                        : NodeRecord::FunctionKind::Plain;
            }
            if (node.functionKind != NodeRecord::FunctionKind::Ubernode) {
                return;
            }
            GraphStore* nested = InnerStoreOf(node);
            if (nested == nullptr) {
                return;
            }
            if (!node.watchesInnerGraph) {
                nested->holders.push_back(Holder{&store, &node});
                node.watchesInnerGraph = true;
            }
            pending.push_back(nested);
        });
    }
}

void GraphStore::KeepMovesPending(const GUID& nodeId, const NodeRecord* record,
                                  std::uint64_t version) noexcept {
    NodeRecord* node = version == structureVersion ? &Own(*record) : nodes.Find(nodeId);
    if (node != nullptr) {
        node->movesPending = true;
        ListChangedNode(*node);
    }
}

void GraphStore::NoteEditForHolders() noexcept {
    // Along a chain of nested graphs without recursion; a graph held by several ubernodes
    // recurses once per further holder.
    GraphStore* store = this;
    while (store != nullptr && !store->holders.empty()) {
        GraphStore* next = nullptr;
        for (const Holder& holder : store->holders) {
            holder.node->watchesInnerGraph = false;
            holder.node->upToDate = false;
            holder.store->ListChangedNode(*holder.node);
            if (next == nullptr) {
                next = holder.store;
            } else if (next != holder.store) {
                holder.store->NoteEditForHolders();
            }
        }
        store->holders.clear();
        store = next;
    }
}

void GraphStore::StopWatchingInnerGraph(NodeRecord& node) noexcept {
    if (!node.watchesInnerGraph) {
        return;
    }
    node.watchesInnerGraph = false;
    GraphStore* inner = InnerStoreOf(node);
    if (inner == nullptr) {
        return;
    }
    std::vector<Holder>& innerHolders = inner->holders;
    auto entry = std::find_if(innerHolders.begin(), innerHolders.end(),
                              [&node](const Holder& holder) { return holder.node == &node; });
    if (entry != innerHolders.end()) {
        *entry = innerHolders.back();
        innerHolders.pop_back();
    }
}

void GraphStore::StopWatchingInnerGraphs() noexcept {
    nodes.ForEach([this](NodeRecord& node) { StopWatchingInnerGraph(node); });
}

} // namespace datagraph
