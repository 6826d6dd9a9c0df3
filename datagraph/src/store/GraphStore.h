#pragma once

// The records of one graph, their indexes, and the invariants that hold them together.
//
//   nodes (by id) ──► NodeRecord ─┬─ inputPins ─┬─► PinRecord ── upstream ──► PinRecord
//                     [ block:    │  outputPins ┘   (Pin: id, │               (of another node)
//                       the node  │                  value,   └─ downstream ─► PinRecord, ...
//                       record,   ├─ firstEntry, furtherEntries ──► SubgraphEntry
//                       then the  │                                    (in one subgraph's list)
//                       pins made └─ the Node object hosts see
//                       with it ]
//   pins (by id) ──► PinRecord      subgraphs (by id, in GUID order) ──► first ⇄ ... ⇄ last entry
//   liveLinks (made on first request): upstream pin id ──► downstream pin id, one per link
//
// Invariants (each checked by CheckConsistency, which names the number of the one that fails):
//  1. `nodes` finds every node record under its own id at its own place, and the record holds
//     a Node object; no node record lives in another record's block.
//  2. `pins` finds every pin record under its pin's id at its own place; its owner is a node
//     record of this store that lists it exactly once, on the side the pin was made on, and
//     every pin a node lists is such a record (so the pins the nodes list are all the pins).
//  3. A pin's upstream pin lists it among its downstream pins exactly once, and every pin in a
//     downstream list has that pin as its upstream pin.
//  4. `linksIn` of a node counts its pins that have an upstream pin.
//  5. `linksNotOutputToInput` counts the links that leave an input pin or reach an output pin.
//  6. Once made, `liveLinks` holds exactly the links, those of one upstream pin in the order of
//     its downstream list, and each linked pin's `upstreamLink` is its own entry there.
//  7. A pin record that lives in a block lives in its owner's block, in a slot below the number
//     of pins the node was made with.
//  8. Every subgraph in `subgraphs` has a non-empty list whose entries are in use, point back at
//     that subgraph and are chained both ways from `first` to `last`.
//  9. Every entry in use is owned by the node record of its node id (its `node` then points at
//     that record) or, when no node has that id, by `subgraphEntriesOfAbsentNodes` (`node` is
//     null); every owned entry is in use except a node's first entry, and that one is in use
//     while the node exists; the lists together hold every entry in use.
// 10. The cached order, while its version is the current one, holds every node record once,
//     each id beside its record and each record knowing its place; a cached plan has one role
//     per node of its order; no node carries a visit stamp beyond the last one handed out.
// 11. While the change lists are current, they are chained both ways through node records of
//     this store, each marked as held by the list it is in, and every node that is not up to
//     date or has moves pending is in one of them (outside a run, none is marked as taken).
// 12. Each entry in `holders` names a node record of its own graph, marked as watching this
//     graph, once.
//
// Only GraphStore writes the records' fields; the rest of the library reads them. The scratch
// counters of the order and the traversal are the exception: they are in no invariant and mean
// nothing between calls.

#include <datagraph/EditHistory.h>
#include <datagraph/Graph.h>

#include "Hidden.h"
#include "store/RecordTable.h"

#include <boost/container/small_vector.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace datagraph {

/// What a Pin knows of the record that holds it; the record is a GraphStore::PinRecord.
class Pin::Record {};

class DATAGRAPH_HIDDEN GraphStore {
public:
    class NodeRecord;
    class PinRecord;
    class SubgraphEntry;

    // Most nodes have a few pins, and most pins a few links: those lists need no allocation.
    using PinList = boost::container::small_vector<PinRecord*, 2>;
    using LinkTable = std::multimap<GUID, GUID>;

    /// The entries of one execution subgraph, oldest first.
    struct SubgraphList {
        SubgraphEntry* first = nullptr;
        SubgraphEntry* last = nullptr;
    };

    // Ordered by subgraph id, so that every walk over all entries goes subgraph by subgraph in the
    // GUID order, as hosts see them.
    using SubgraphTable = std::map<GUID, SubgraphList>;
    using SubgraphEntries = std::vector<std::unique_ptr<SubgraphEntry>>;

    /// That the node of `nodeId` stands in a subgraph. A node may stand in several subgraphs, or
    /// twice in one; a host may file an id that no node has (yet).
    class SubgraphEntry {
    public:
        const GUID& NodeId() const { return nodeId; }

        /// Null while no node has the id.
        const NodeRecord* Node() const { return node; }

        const SubgraphEntry* Next() const { return next; }

    private:
        friend class GraphStore;

        SubgraphTable::iterator subgraph;
        GUID nodeId;
        NodeRecord* node = nullptr;
        SubgraphEntry* previous = nullptr;
        SubgraphEntry* next = nullptr;
        bool inUse = false; // a node's first entry may stand unused
    };

    // What the topological order and a traversal read of every node comes first, in the record's
    // first cache lines.
    class NodeRecord {
    public:
        explicit NodeRecord(const GUID& id)
            : id(id) {}

        const GUID& Id() const { return id; }

        const PinList& InputPins() const { return inputPins; }

        const PinList& OutputPins() const { return outputPins; }

        const PinList& Pins(bool output) const { return output ? outputPins : inputPins; }

        /// The number of its pins that have an upstream link.
        std::int32_t LinksIn() const { return linksIn; }

        Node& Object() const { return *node; }

        const std::shared_ptr<Node>& SharedObject() const { return node; }

        const std::shared_ptr<INodeFunction>& Function() const { return node->function; }

        /// True when the node has neither an input node nor an output node.
        bool IsUnconnected() const;

        /// True once a traversal has found that its function is no ubernode (a node keeps its
        /// function); false when that is not known yet.
        bool IsKnownPlain() const { return functionKind == FunctionKind::Plain; }

        /// Its place among the store's nodes, below NodeCount(): a walk that keeps something per
        /// node keeps it in an array by place instead of a table by id.
        std::size_t Place() const { return place; }

        /// Whether TraverseChanged may leave the node as it is: its last execution was by a
        /// traversal of this graph, ended well, and nothing it depends on has changed since.
        bool IsUpToDate() const { return upToDate; }

        /// Whether an up-to-date node still has to hand its outputs to linked pins that do not
        /// hold them (after a new link, or a host's write to such a pin).
        bool HasMovesPending() const { return movesPending; }

        // Scratch space of the topological order and the traversal; meaningless between calls.
        mutable std::int32_t pendingInputs = 0;
        mutable std::uint32_t visit = 0;
        // Its place in the cached order, valid while that order is current.
        mutable std::uint32_t orderPosition = 0;

    private:
        friend class GraphStore;
        friend class RecordTable<NodeRecord>;

        // Which of TraverseChanged's lists holds it; Taken while a run holds it instead.
        enum class ChangeList : std::uint8_t { None, Active, Parked, Taken };
        enum class FunctionKind : std::uint8_t { NotYetAsked, Plain, Ubernode };

        const GUID id; // kept here so that no query has to ask the host's function
        std::int32_t linksIn = 0;
        bool inBlock = false; // kept by `nodes`
        bool upToDate = false;
        bool movesPending = false;
        bool watchesInnerGraph = false; // listed among its inner graph's holders
        ChangeList changeList = ChangeList::None;
        FunctionKind functionKind = FunctionKind::NotYetAsked;
        NodeRecord* listPrevious = nullptr; // its neighbours in the list that holds it
        NodeRecord* listNext = nullptr;
        PinList outputPins;
        PinList inputPins;
        std::shared_ptr<Node> node;
        std::size_t place = 0;          // kept by `nodes`
        std::size_t pinSlots = 0;       // the pins made with the node, which live in its block
        SubgraphEntry firstEntry;       // the first subgraph it was filed under
        SubgraphEntries furtherEntries; // further ones, and those filed before the node existed
    };

    class PinRecord : public datagraph::Pin::Record {
    public:
        PinRecord(const std::type_info& dataType, const GUID& id, NodeRecord& owner, bool isOutput)
            : pin(dataType, id)
            , owner(&owner)
            , isOutput(isOutput) {
            pin.record = this;
        }

        /// Copies the pin and its value, without links.
        PinRecord(const datagraph::Pin& source, NodeRecord& owner, bool isOutput)
            : pin(source)
            , owner(&owner)
            , isOutput(isOutput) {
            pin.record = this;
        }

        PinRecord(const PinRecord&) = delete;
        PinRecord& operator=(const PinRecord&) = delete;

        GUID Id() const { return GraphStore::IdOf(pin); }

        datagraph::Pin& Object() { return pin; }

        const datagraph::Pin& Object() const { return pin; }

        const NodeRecord& Owner() const { return *owner; }

        bool IsOwnedBy(const NodeRecord& node) const { return owner == &node; }

        bool IsOutput() const { return isOutput; }

        /// Null while the pin has no upstream link.
        const PinRecord* Upstream() const { return upstream; }

        /// The links leaving this pin, oldest first.
        const PinList& Downstream() const { return downstream; }

        /// Its place among the store's pins, below PinCount().
        std::size_t Place() const { return place; }

    private:
        friend class GraphStore;
        friend class RecordTable<PinRecord>;

        datagraph::Pin pin;
        NodeRecord* owner;
        bool isOutput;
        PinRecord* upstream = nullptr;
        LinkTable::iterator upstreamLink; // its entry in liveLinks, while there is one
        PinList downstream;
        std::size_t place = 0; // kept by `pins`
        bool inBlock = false;  // kept by `pins`: it lives in its owner's block
    };

    explicit GraphStore(const GUID& defaultExecutionSubgraphID)
        : defaultExecutionSubgraphID(defaultExecutionSubgraphID) {}

    GraphStore(const GraphStore&) = delete;
    GraphStore& operator=(const GraphStore&) = delete;
    ~GraphStore();

    static GraphStore& Of(Graph& graph) { return *graph.store; }

    static const GraphStore& Of(const Graph& graph) { return *graph.store; }

    /// A deep copy whose nodes belong to `owner`. Nothing of `owner` is touched, so a Clone()
    /// that throws leaves it as it was.
    std::unique_ptr<GraphStore> DeepCopy(Graph& owner) const;

    /// Takes the place of `replaced` in its graph: a traversal running there sees that the records
    /// changed, and the link table a host may hold stays the same object, now with these links.
    void TakeOverFrom(GraphStore& replaced);

    // Lookups and walks. A walk's `visit` must not add or remove records.
    NodeRecord* FindNode(const GUID& nodeId) const { return nodes.Find(nodeId); }

    PinRecord* FindPin(const GUID& pinId) const { return pins.Find(pinId); }

    std::size_t NodeCount() const { return nodes.Size(); }

    std::size_t PinCount() const { return pins.Size(); }

    template <typename Visit> void ForEachNode(Visit&& visit) const { nodes.ForEach(visit); }

    template <typename Visit> void ForEachPin(Visit&& visit) const { pins.ForEach(visit); }

    const GUID& DefaultExecutionSubgraph() const { return defaultExecutionSubgraphID; }

    const SubgraphTable& Subgraphs() const { return subgraphs; }

    /// The first entry of the subgraph, or null when no node stands in it.
    const SubgraphEntry* FirstEntryOf(const GUID& executionSubgraph) const {
        auto subgraph = subgraphs.find(executionSubgraph);
        return subgraph != subgraphs.end() ? subgraph->second.first : nullptr;
    }

    /// Changes whenever nodes, pins, links or subgraph entries change, so that a traversal can
    /// tell whether what it looked up before running a node still holds afterwards.
    std::uint64_t StructureVersion() const { return structureVersion; }

    bool TraversalInProgress() const { return traversalInProgress; }

    /// The host's edit observer, or null; a graph's one, carried over when it is assigned.
    IGraphEditObserver* EditObserver() const { return editObserver; }

    void SetEditObserver(IGraphEditObserver* observer) { editObserver = observer; }

    /// The history recording the host's edits of the graph, or null; carried over like the
    /// observer.
    EditHistory::Impl* History() const { return history; }

    void SetHistory(EditHistory::Impl* recorder) { history = recorder; }

    /// Whether the pin is one of this store's own, not one that left it with a history.
    bool Holds(const PinRecord& pin) const { return pins.Find(pin.Id()) == &pin; }

    bool Holds(const NodeRecord& node) const { return nodes.Find(node.Id()) == &node; }

    /// The store of the graph the pin's node belongs to.
    static GraphStore& StoreOf(const PinRecord& pin) { return *pin.owner->node->graph.store; }

    /// The slot of the graph that holds its store.
    static std::unique_ptr<GraphStore>& SlotOf(Graph& graph) { return graph.store; }

    // The edits a history keeps, each of which it can make and take back (history/).
    struct Toggles;

    /// Whether adding a node of `function` to the graph would nest the graph in itself.
    static bool WouldContainItself(const Graph& graph, const INodeFunction& function);

    /// The UbernodeNodeFunction objects whose inner graph this is. Only such a graph can be
    /// nested in another one, so while there are none no ubernode can make it contain itself.
    std::size_t HoldingUbernodes() const { return holdingUbernodes; }

    void CountHoldingUbernode(int change) { holdingUbernodes += change; }

    /// Whether a DeepCopy of this store is under way: a host's Clone() may try to assign to the
    /// graph it is being copied from, whose records must then stay where they are.
    bool CopyInProgress() const { return copiesInProgress != 0; }

    void SetTraversalInProgress(bool inProgress) { traversalInProgress = inProgress; }

    /// A stamp no node record carries yet, for marking records during one walk.
    std::uint32_t NextVisit() const {
        if (++lastVisit == 0) {
            nodes.ForEach([](const NodeRecord& node) { node.visit = 0; });
            lastVisit = 1;
        }
        return lastVisit;
    }

    // Edits. Each keeps every invariant; the ones that can fail change nothing when they do.
    /// Makes the node's record with one pin per schema entry, in one block, and files it under
    /// `executionSubgraph`. False, and nothing changed, when a pin id is already a pin's; the
    /// node id must be free.
    bool TryAddNode(const GUID& nodeId, std::shared_ptr<Node> node, const Schema& inputSchema,
                    const Schema& outputSchema, const GUID& executionSubgraph);
    /// False, and nothing changed, when the id is already a pin's.
    bool TryAddPin(NodeRecord& node, const GUID& pinId, const std::type_info& dataType,
                   bool outputPin);
    /// Removes the pin with its links. Its value, and then the node's function and the values of
    /// its pins, die only after the records agree again.
    void DestroyPin(PinRecord& pin);
    void DestroyNode(NodeRecord& node);

    bool HasEntriesOfAbsentNode(const GUID& nodeId) const {
        return subgraphEntriesOfAbsentNodes.count(nodeId) != 0;
    }

    /// Whether some subgraph lists an id that no node has.
    bool HasEntriesOfAbsentNodes() const { return !subgraphEntriesOfAbsentNodes.empty(); }

    /// Removes the entries filed under an id that no node has; false when there were none.
    bool DestroyEntriesOfAbsentNode(const GUID& nodeId);
    /// Destroys every node; the default execution subgraph stays. Host destructors run once the
    /// store is empty and consistent.
    void Clear();

    void AddLink(PinRecord& upstreamPin, PinRecord& downstreamPin);
    void RemoveUpstreamLink(PinRecord& downstreamPin);
    /// Files the node of `nodeId`, or the id alone when no node has it, under the subgraph.
    void AddSubgraphEntry(const GUID& nodeId, const GUID& executionSubgraph);

    /// The ordered link table, made from the records on first use and kept live afterwards.
    const LinkTable& LiveLinks() const;

    /// The link table if a host has asked for it, else null.
    const LinkTable* LiveLinksIfMade() const { return liveLinks.get(); }

    // The order and the plan are computed in run/ and cached here for the structure they were
    // made from.
    struct Order;
    struct TraversalPlan;
    /// The order of the current structure, computed again only after a structural change; raises
    /// the failures GetNodesInTopologicalOrder documents.
    std::shared_ptr<const Order> TopologicalOrder() const;
    std::shared_ptr<const TraversalPlan> PlanTraversal(const GUID& executionSubgraph) const;

    // What TraverseChanged needs to know of every change.
    /// A host wrote, marked or unmarked the pin through its Pin object (as PutDataOnPin does);
    /// returns the store of the pin's graph.
    static GraphStore& NoteHostWrote(PinRecord& pin) noexcept;
    /// The edit observer hears of a host's write (`valueWritten`) or mark, unless a traversal of
    /// this graph is running.
    void NotifyHostWrote(const PinRecord& pin, bool valueWritten) const;
    /// The node is not up to date until a traversal of this graph next executes it.
    void NoteNodeChanged(NodeRecord& node) noexcept;

    /// Writes a node's output as its execution returned it; no edit of the host's.
    static void WriteOutput(PinRecord& pin, std::shared_ptr<const IDataValue> value) {
        const std::shared_ptr<const IDataValue> previous = pin.pin.Replace(std::move(value));
    }

    /// Writes a value moved along a link: its node is not up to date if the pin now holds
    /// another object, and is looked at again if only the mark is new.
    void MoveInto(PinRecord& pin, std::shared_ptr<const IDataValue> value) {
        const IDataValue* held = pin.pin.data.get();
        const bool marked = pin.pin.updatedData;
        const std::shared_ptr<const IDataValue> previous = pin.pin.Replace(std::move(value));
        NodeRecord& owner = *pin.owner;
        // A whole traversal runs without change lists: no call to list the node.
        if (pin.pin.data.get() != held) {
            owner.upToDate = false;
            if (ChangeListsAreCurrent()) {
                ListChangedNode(owner);
            }
        } else if (!marked && (!owner.upToDate || owner.movesPending) && ChangeListsAreCurrent()) {
            ListChangedNode(owner); // it may be ready now
        }
    }

    // What a traversal reads of a pin, straight from its record: the same as Pin's own calls,
    // without a call through the library's exported symbols for each.
    static const GUID& IdOf(const datagraph::Pin& pin) { return pin.id; }

    static const std::shared_ptr<const IDataValue>& ValueOf(const PinRecord& pin) {
        return pin.pin.data;
    }

    static bool IsMarked(const PinRecord& pin) { return pin.pin.updatedData; }

    /// Whether the pin holds this very object, with the mark; no value is copied.
    static bool HoldsWithMark(const PinRecord& pin, const IDataValue& value) {
        return pin.pin.updatedData && pin.pin.data.get() == &value;
    }

    /// Before and after a traversal of this graph executes the node (the run and the moves).
    void StartTrackedExecution(const NodeRecord& record) {
        NodeRecord& node = Own(record);
        if (node.functionKind != NodeRecord::FunctionKind::Plain) {
            PrepareToTrackUbernode(node);
        }
        node.upToDate = true; // an edit made while it runs counts for the next run
    }

    /// `node` is the record of `nodeId` while the structure is still at `version`.
    /// An ubernode starts to watch its inner graphs; when that fails for want of memory, the
    /// node is left not up to date, and the failure raised if `mayAllocate`.
    void FinishTrackedExecution(const GUID& nodeId, const NodeRecord* record, std::uint64_t version,
                                bool ran, bool moved, bool mayAllocate) {
        if (ran && moved && version == structureVersion &&
            record->functionKind == NodeRecord::FunctionKind::Plain) {
            Own(*record).movesPending = false; // every marked output was handed on
            return;
        }
        FinishTrackedExecutionOtherwise(nodeId, record, version, ran, moved, mayAllocate);
    }

    /// After a run's moves of an up-to-date node failed: they are still to be made.
    void KeepMovesPending(const GUID& nodeId, const NodeRecord* node,
                          std::uint64_t version) noexcept;

    void ClearMovesPending(NodeRecord& node) noexcept { node.movesPending = false; }

    // The order hands out its records as const; the store owns them.
    NodeRecord& Own(const NodeRecord& node) const { return const_cast<NodeRecord&>(node); }

    /// Moves the nodes TraverseChanged must look at (those not up to date or with moves
    /// pending) into `taken`. The list is made afresh from every record after a structural
    /// change; when the run is over another subgraph than the last one, the nodes set aside by
    /// that one come back.
    void TakeChangedNodes(const GUID& executionSubgraph, std::vector<NodeRecord*>& taken);
    /// Moves the nodes listed since into `after` when they stand after `position` in the order,
    /// into `notAfter` otherwise.
    void TakeChangedNodesSince(std::uint32_t position, std::vector<NodeRecord*>& after,
                               std::vector<NodeRecord*>& notAfter);
    /// Hands back what a run did not get to; it stays for the next one.
    void ReturnChangedNodes(const std::vector<NodeRecord*>& nodes) noexcept;
    /// Lets go of the lists until the next TraverseChanged makes them again from the records:
    /// a whole traversal changes nearly every node, and listing each would cost it time.
    void DropChangeLists() noexcept;
    /// Sets a node aside that the run over the current subgraph cannot execute yet.
    void ParkChangedNode(NodeRecord& node) noexcept;

    /// A node the run took out of its hands is the store's again.
    void MarkChangedNodeDone(NodeRecord& node) noexcept {
        node.changeList = NodeRecord::ChangeList::None;
    }

    /// Raises GraphException naming the first invariant (by its number above) that does not hold.
    void CheckConsistency() const;

private:
    static bool IsLinkNotOutputToInput(const PinRecord& upstreamPin,
                                       const PinRecord& downstreamPin) {
        return !upstreamPin.isOutput || downstreamPin.isOutput;
    }

    NodeRecord& AddNodeRecord(const GUID& nodeId, std::size_t pinSlots);

    /// Where the k-th pin made with a node lives, below the pin count it was made with.
    static RecordStorage PinSlot(NodeRecord& node, std::size_t k) {
        return RecordStorage{0, reinterpret_cast<char*>(&node) + sizeof(NodeRecord) +
                                    k * sizeof(PinRecord)};
    }

    bool TryAddPinIn(NodeRecord& node, const GUID& pinId, const std::type_info& dataType,
                     bool outputPin, RecordStorage storage);
    /// Takes back a node that was just made, with its pins; it must have no links or entries.
    void RemoveUnlinkedNode(NodeRecord& node);
    /// Removes the pin's record and its links, but not from its node's list; returns the pin's
    /// value so that the caller decides when it dies.
    std::shared_ptr<const IDataValue> ReleasePin(PinRecord& pin);
    void RemoveDownstreamLinks(PinRecord& upstreamPin);
    void AddSubgraphEntryFor(const GUID& nodeId, NodeRecord* node, const GUID& executionSubgraph);
    /// Takes the entry out of its subgraph, and the subgraph out of the table once it is empty;
    /// the entry's owner still has to let go of it.
    void UnlinkSubgraphEntry(SubgraphEntry& entry);
    void UnlinkSubgraphEntries(NodeRecord& node);
    /// Swaps in a table of the current links; the table object itself stays where it is.
    void RefillLiveLinks(LinkTable& table) const;
    void ComputeTopologicalOrder(Order& order) const;
    std::int32_t CountInputNodes(const NodeRecord& node) const;

    void CheckNodes() const;
    void CheckPins() const;
    void CheckLinks() const;
    void CheckLiveLinks() const;
    void CheckSubgraphs() const;
    void CheckCaches() const;
    void CheckChangeLists() const;

    /// Bumps the structure's version; an ubernode holding this graph is no longer up to date.
    void StructureChanged() noexcept {
        ++structureVersion;
        NoteEditForHolders();
    }

    void ListChangedNode(NodeRecord& node) noexcept;
    /// Finds out whether the node is an ubernode and, if so, stops it watching its inner graph
    /// while it runs and makes room to watch it again afterwards.
    void PrepareToTrackUbernode(NodeRecord& node);
    void FinishTrackedExecutionOtherwise(const GUID& nodeId, const NodeRecord* record,
                                         std::uint64_t version, bool ran, bool moved,
                                         bool mayAllocate);

    bool ChangeListsAreCurrent() const { return changeListsVersion == structureVersion; }

    static void LinkInto(NodeRecord*& first, NodeRecord& node) noexcept;
    static void UnlinkFrom(NodeRecord*& first, NodeRecord& node) noexcept;
    /// Every ubernode node that watches this graph hears that it was edited, and stops watching.
    void NoteEditForHolders() noexcept;
    static GraphStore* InnerStoreOf(const NodeRecord& node);
    static void WatchNestedGraphs(GraphStore& inner);
    void StopWatchingInnerGraph(NodeRecord& node) noexcept;
    void StopWatchingInnerGraphs() noexcept;

    // The destructor takes these apart explicitly, in the only safe order: the caches refer to
    // node records, pin records live in their nodes' blocks, and the records' entries point into
    // the subgraph table. Members are declared in the same order, so that the implicit
    // destruction of what is left agrees.
    GUID defaultExecutionSubgraphID;
    SubgraphTable subgraphs;
    // Subgraph entries that name ids of no node (a host may file any id); they move into the
    // node's record if a node of that id is created later.
    std::unordered_map<GUID, SubgraphEntries, GuidHash> subgraphEntriesOfAbsentNodes;
    RecordTable<NodeRecord> nodes;
    RecordTable<PinRecord> pins;
    // Without any, every link runs from an output pin to an input pin, and the topological order
    // can count links instead of nodes.
    std::size_t linksNotOutputToInput = 0;
    // Null until a host asks for the link table; from then on every link is in it too, and the
    // object stays put for the life of the graph.
    mutable std::unique_ptr<LinkTable> liveLinks;
    bool traversalInProgress = false;
    IGraphEditObserver* editObserver = nullptr; // told of the host's edits once they are made
    EditHistory::Impl* history = nullptr;       // records them, if the host attached one
    mutable int copiesInProgress = 0;
    std::size_t holdingUbernodes = 0;
    std::uint64_t structureVersion = 0;
    mutable std::uint32_t lastVisit = 0;
    // Hosts traverse again and again between structural edits; both are only used while
    // structureVersion still matches.
    mutable std::shared_ptr<const Order> lastOrder;
    mutable std::shared_ptr<const TraversalPlan> lastPlan;
    // TraverseChanged's lists, chained through the node records so that listing never
    // allocates; current while changeListsVersion is the structure's version, and made again
    // from the records by the next run otherwise.
    NodeRecord* changedNodes = nullptr;
    NodeRecord* parkedNodes = nullptr;
    std::uint64_t changeListsVersion = ~std::uint64_t(0);
    GUID parkedFor; // the subgraph of the run that parked them

    // The ubernode nodes, of graphs holding this one, that were up to date with it when they
    // last ran; told of the next edit once.
    struct Holder {
        GraphStore* store;
        NodeRecord* node;
    };

    std::vector<Holder> holders;
};

// A node's block is its record followed by the records of the pins it was made with; both kinds
// of record must be placeable there one after the other.
static_assert(alignof(GraphStore::PinRecord) <= alignof(std::max_align_t),
              "a pin record must be placeable in memory from operator new");
static_assert(sizeof(GraphStore::NodeRecord) % alignof(GraphStore::PinRecord) == 0,
              "the first pin slot behind a node record must be aligned for a pin record");
static_assert(sizeof(GraphStore::PinRecord) % alignof(GraphStore::PinRecord) == 0,
              "every pin slot of a block must be aligned for a pin record");

} // namespace datagraph
