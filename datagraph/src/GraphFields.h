#pragma once

// The graph's records. Kept out of the public header so that the indexes can change without
// touching what hosts compile against.
//
// Every node and pin is reached by its GUID through `nodes` and `pins`; beyond that the records
// point at each other, so that walking a node's pins, a pin's links and a link's far end costs no
// hashing. The ordered link table hosts can read is made from the records the first time a host
// asks for it and kept in step with them from then on.

#include <datagraph/Graph.h>

#include "RecordTable.h"

#include <boost/container/small_vector.hpp>

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

namespace datagraph {

struct __attribute__((visibility("hidden"))) Graph::Fields {
    struct NodeRecord;
    struct SubgraphEntry;

    /// The entries of one execution subgraph, oldest first.
    struct Subgraph {
        SubgraphEntry* first = nullptr;
        SubgraphEntry* last = nullptr;
    };

    // Ordered by subgraph id, so that every walk over all entries goes subgraph by subgraph in the
    // GUID order, as hosts see them.
    using SubgraphTable = std::map<GUID, Subgraph>;

    /// That the node of `nodeId` stands in a subgraph. A node may stand in several subgraphs, or
    /// twice in one; a host may file an id that no node has (yet).
    struct SubgraphEntry {
        SubgraphTable::iterator subgraph;
        GUID nodeId;
        NodeRecord* node = nullptr; // null while no node has the id
        SubgraphEntry* previous = nullptr;
        SubgraphEntry* next = nullptr;
        bool inUse = false; // a node's own entry may stand unused
    };

    using LinkTable = std::multimap<GUID, GUID>;
    using SubgraphEntries = std::vector<std::unique_ptr<SubgraphEntry>>;

    struct PinRecord;
    // Most nodes have a few pins, and most pins a few links: those lists need no allocation.
    using PinList = boost::container::small_vector<PinRecord*, 2>;

    // What the topological order and a traversal read of every node comes first, in the record's
    // first cache lines.
    struct NodeRecord {
        GUID id;                  // kept here so that no query has to ask the host's function
        std::int32_t linksIn = 0; // its pins that have an upstream link
        // Scratch space of the topological order and the traversal; meaningless between calls.
        mutable std::int32_t pendingInputs = 0;
        mutable std::uint32_t visit = 0;
        bool inBlock = false; // kept by `nodes`
        PinList outputPins;
        PinList inputPins;
        std::shared_ptr<Node> node;
        std::size_t place = 0; // kept by `nodes`
        // The entries naming it: the first one it was filed under lives here, further ones and
        // those filed before the node existed on the heap.
        SubgraphEntry ownEntry;
        SubgraphEntries moreEntries;
    };

    struct PinRecord {
        PinRecord(const std::type_info& dataType, const GUID& id, NodeRecord& owner, bool isOutput)
            : pin(dataType, id)
            , owner(&owner)
            , isOutput(isOutput) {}

        /// Copies the pin and its value, without links.
        PinRecord(const Pin& source, NodeRecord& owner, bool isOutput)
            : pin(source)
            , owner(&owner)
            , isOutput(isOutput) {}

        Pin pin;
        NodeRecord* owner;
        bool isOutput;
        PinRecord* upstream = nullptr;
        LinkTable::iterator upstreamLink; // this pin's entry in liveLinks, while there is one
        PinList downstream;               // the links leaving this pin, oldest first
        std::size_t place = 0;            // kept by `pins`
        bool inBlock = false;             // kept by `pins`: it lives in its node's block
    };

    explicit Fields(const GUID& defaultExecutionSubgraphID)
        : defaultExecutionSubgraphID(defaultExecutionSubgraphID) {}

    Fields(const Fields&) = delete;
    Fields& operator=(const Fields&) = delete;

    /// A deep copy whose nodes belong to `owner`. Nothing of `owner` is touched, so a Clone()
    /// that throws leaves it as it was.
    std::unique_ptr<Fields> DeepCopy(Graph& owner) const;

    NodeRecord* FindNode(const GUID& nodeId);
    const NodeRecord* FindNode(const GUID& nodeId) const;
    PinRecord* FindPin(const GUID& pinId);
    const PinRecord* FindPin(const GUID& pinId) const;

    /// Makes the record of a new node, with room behind it for the records of `pinCount` pins
    /// (see PinRoom); the id must be free.
    NodeRecord& AddNodeRecord(const GUID& nodeId, std::size_t pinCount);

    /// Where the k-th pin made with a node may live, below the pin count given when it was made.
    static RecordStorage PinRoom(NodeRecord& node, std::size_t k) {
        return RecordStorage{0, reinterpret_cast<char*>(&node) + sizeof(NodeRecord) +
                                    k * sizeof(PinRecord)};
    }

    void EraseNodeRecord(NodeRecord& node);

    void AddLink(PinRecord& upstreamPin, PinRecord& downstreamPin);

    static bool IsOddLink(const PinRecord& upstreamPin, const PinRecord& downstreamPin) {
        return !upstreamPin.isOutput || downstreamPin.isOutput;
    }

    void RemoveUpstreamLink(PinRecord& downstreamPin);
    void RemoveDownstreamLinks(PinRecord& upstreamPin);
    /// False, and nothing changed, when the id is already a pin's.
    bool TryAddPin(NodeRecord& node, const GUID& pinId, const std::type_info& dataType,
                   bool outputPin, RecordStorage storage = RecordStorage());
    /// Takes back a node that was just made, with its pins; it must have no links or entries.
    void RemoveUnlinkedNode(NodeRecord& node);
    /// Removes the pin's record and its links, but not from its node's list; returns the pin's
    /// value so that the caller decides when it dies.
    std::shared_ptr<const IDataValue> ReleasePin(PinRecord& pinRecord);
    /// `node` is the record of `nodeId`, or null when no node has that id.
    void AddSubgraphEntry(const GUID& nodeId, NodeRecord* node, const GUID& executionSubgraph);
    /// Takes the entry out of its subgraph, and the subgraph out of the table once it is empty;
    /// the entry's owner still has to let go of it.
    void UnlinkSubgraphEntry(SubgraphEntry& entry);
    /// Unlinks every entry naming the node.
    void UnlinkSubgraphEntries(NodeRecord& node);

    /// The ordered link table, made from the records on first use and kept live afterwards.
    const LinkTable& LiveLinks() const;
    /// Swaps in a table of the current links; the table object itself stays where it is.
    void RefillLiveLinks(LinkTable& table) const;

    class TraversalSteps;

    /// Every node, each after its input nodes, as the structure stood at `version`.
    struct Order {
        std::uint64_t version = 0;
        std::vector<const NodeRecord*> records;
        IdentifierList ids;
    };

    /// What a traversal of one subgraph does with each node of the order, as far as the structure
    /// alone decides it.
    enum class Role : std::uint8_t { Outside, Unconnected, Candidate };

    struct TraversalPlan {
        std::shared_ptr<const Order> order;
        GUID executionSubgraph;
        std::vector<Role> roles;
    };

    /// The order of the current structure, computed again only after a structural change; raises
    /// the failures GetNodesInTopologicalOrder documents.
    std::shared_ptr<const Order> TopologicalOrder() const;
    std::shared_ptr<const TraversalPlan> PlanTraversal(const GUID& executionSubgraph) const;
    void ComputeTopologicalOrder(Order& order) const;
    static DataMap GatherInputs(const NodeRecord& node);

    template <typename PinRecords> static IdentifierSet PinIds(const PinRecords& pinRecords) {
        IdentifierSet ids;
        ids.reserve(pinRecords.size());
        for (const PinRecord* pinRecord : pinRecords) {
            ids.insert(pinRecord->pin.GetId());
        }
        return ids;
    }

    /// The number of distinct input nodes, as GetInputNodes counts them.
    std::int32_t CountInputNodes(const NodeRecord& node) const;

    /// True when the node has neither an input node nor an output node.
    static bool IsUnconnected(const NodeRecord& node) {
        for (const PinRecord* pin : node.inputPins) {
            if (pin->upstream != nullptr || !pin->downstream.empty()) {
                return false;
            }
        }
        for (const PinRecord* pin : node.outputPins) {
            if (!pin->downstream.empty()) {
                return false;
            }
        }
        return true;
    }

    /// A stamp no node record carries yet, for marking records during one walk.
    std::uint32_t NextVisit() const {
        if (++lastVisit == 0) {
            nodes.ForEach([](const NodeRecord& node) { node.visit = 0; });
            lastVisit = 1;
        }
        return lastVisit;
    }

    GUID defaultExecutionSubgraphID;
    SubgraphTable subgraphs;
    RecordTable<NodeRecord> nodes;
    RecordTable<PinRecord> pins;
    // Links that leave an input pin or reach an output pin. Without any, every link runs from an
    // output pin to an input pin, and the topological order can count links instead of nodes.
    std::size_t oddLinks = 0;
    // Null until a host asks for the link table; from then on every link is in it too, oldest
    // first under each upstream pin, and the object stays put for the life of the graph.
    mutable std::unique_ptr<LinkTable> liveLinks;
    bool traversalInProgress = false;

    // Subgraph entries that name ids of no node (a host may file any id); they move into the
    // node's record if a node of that id is created later.
    std::unordered_map<GUID, SubgraphEntries, GuidHash> subgraphEntriesOfAbsentNodes;

    // Changes whenever nodes, pins, links or subgraph entries change, so that a traversal can
    // tell whether what it looked up before running a node still holds afterwards.
    std::uint64_t structureVersion = 0;
    mutable std::uint32_t lastVisit = 0;

    // Hosts traverse again and again between structural edits; both are kept for the structure
    // they were made from and are only used while structureVersion still matches.
    mutable std::shared_ptr<const Order> lastOrder;
    mutable std::shared_ptr<const TraversalPlan> lastPlan;
};

} // namespace datagraph
