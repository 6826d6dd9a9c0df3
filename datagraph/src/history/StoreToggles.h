#pragma once

// The edits an EditHistory keeps, each as a toggle of the store: applied once, it makes its edit;
// applied again, it takes the edit back exactly, and so on, as long as the records are as its last
// application left them. Undo applies a step's toggles last first, redo first to last, so that
// holds for every toggle of every step.
//
// Each toggle keeps what its other state needs: a pin's other value, the record of a node that is
// out of the graph, the place of each link and subgraph entry it took out, and the table nodes
// those held, so that an application allocates nothing and cannot fail. What can fail is done by
// Prepare before any toggle of the step is applied: the link table may have been made since the
// toggle last ran, and then needs entries it did not keep.
//
// A toggle that holds a record out of the graph owns it and destroys it when it dies; a pin in a
// node's block dies in place. Toggles die oldest first, so a pin a toggle took out of a node's
// block dies before the toggle holding that node frees the block.

#include "store/GraphStore.h"

#include <datagraph/IGraphEditObserver.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <variant>
#include <vector>

namespace datagraph {

/// What an undo or redo has to tell the edit observer, gathered while it runs and told afterwards,
/// so that an observer editing the graph finds every record where it belongs.
struct EditNotice {
    enum class Kind : std::uint8_t {
        NodeCreated,
        NodeDestroyed,
        PinCreated,
        PinDestroyed,
        LinkMade,
        LinkRemoved,
        PinDataWritten,
        PinMarkSet,
        NodeDirtySet,
        NodeDisabledSet,
        EntryAdded,
        EntryRemoved,
        EntriesRemoved,
        GraphCleared,
        GraphAssigned,
    };

    Kind kind;
    bool flag;
    GUID first;
    GUID second;

    void TellTo(IGraphEditObserver& observer) const;
};

using EditNotices = std::vector<EditNotice>;

struct GraphStore::Toggles {
    using LinkHandle = LinkTable::node_type;
    using SubgraphHandle = SubgraphTable::node_type;

    /// Where a subgraph entry stood, and the subgraph's table node if the entry was its last one.
    struct EntryPlace {
        SubgraphEntry* entry = nullptr;
        SubgraphEntry* previous = nullptr;
        SubgraphEntry* next = nullptr;
        GUID subgraph{};
        SubgraphHandle emptied;
    };

    /// One link that leaves (or comes back) with a pin, seen from its downstream end when that end
    /// stays, or from an upstream pin that stays.
    struct PinLinks {
        PinRecord* pin = nullptr;
        std::uint32_t listIndex = 0;             // in its node's list of pins of its side
        std::uint32_t upstreamIndex = 0;         // in its upstream pin's downstream list
        bool upstreamCut = false;                // its upstream pin stays in the graph
        LinkHandle upstreamLink;                 // its upstream link's entry of the link table
        std::vector<LinkHandle> downstreamLinks; // in the order of its downstream list
    };

    /// What an application works with: the store, and room made by Prepare for the notices to
    /// tell (null when nobody listens) and for the values it lets go of, which die only once the
    /// whole step is applied.
    struct Context {
        GraphStore* store; // the graph's, which an assignment's toggle changes
        EditNotices* notices;
        std::vector<std::shared_ptr<const IDataValue>>& released;
    };

    /// What Prepare counts, so that room for all of a step's toggles is made at once.
    struct Room {
        std::size_t nodes = 0;
        std::size_t pins = 0;
        std::size_t absentIds = 0;
        std::size_t notices = 0;
        std::size_t released = 0;
    };

    // Every toggle: Prepare (may throw; changes nothing) counts and makes what its next
    // application needs; Apply cannot fail.

    /// A value and mark the host wrote to a pin, with those it replaced.
    struct Write {
        PinRecord* pin;
        std::shared_ptr<const IDataValue> before;
        bool beforeMark;
        std::shared_ptr<const IDataValue> after;
        bool afterMark;
        bool written = true;

        void Prepare(GraphStore&, Room& room) const {
            room.notices += 1;
            room.released += 1;
        }

        void Apply(Context& context) noexcept;
    };

    /// A node's dirty or disabled flag.
    struct Flag {
        NodeRecord* node;
        bool disabled; // else dirty
        bool before;
        bool after;
        bool set = true;

        void Prepare(GraphStore&, Room& room) const { room.notices += 1; }

        void Apply(Context& context) noexcept;
    };

    /// One link between two pins that both stay in the graph.
    struct Link {
        PinRecord* upstream;
        PinRecord* downstream;
        std::uint32_t index; // in the upstream pin's downstream list
        bool linked;
        LinkHandle handle;

        void Prepare(GraphStore& store, Room& room);
        void Apply(Context& context) noexcept;
    };

    /// One pin of a node that stays, with its links.
    struct Pin {
        PinLinks links;
        NodeRecord* owner;
        bool attached;

        Pin(PinRecord& pin, bool attached);
        Pin(Pin&& other) noexcept;
        Pin& operator=(Pin&&) = delete;
        ~Pin();

        void Prepare(GraphStore& store, Room& room);
        void Apply(Context& context) noexcept;
    };

    /// A node with its pins, links and subgraph entries. A node the host made has just its first
    /// entry and those filed under its id before it existed, which stay in their subgraphs as
    /// entries of an absent node while it is out.
    struct Node {
        NodeRecord* node;
        bool attached;
        bool made;                  // by CreateNode, so nothing but its first entry is its own
        bool quiet = false;         // part of a Clear, announced as a whole
        std::vector<PinLinks> pins; // inputs, then outputs, as they were when it last left
        std::vector<EntryPlace> entries;
        std::unordered_map<GUID, SubgraphEntries, GuidHash>::node_type absentEntries;

        Node(NodeRecord& node, bool attached, bool made);
        Node(Node&& other) noexcept;
        Node& operator=(Node&&) = delete;
        ~Node();

        void Prepare(GraphStore& store, Room& room);
        void Apply(Context& context) noexcept;
    };

    /// One subgraph entry filed by AssignNodeToExecutionSubgraphs, last of its subgraph and of
    /// its owner's entries.
    struct Entry {
        Entry(const GUID& nodeId, const GUID& subgraph)
            : nodeId(nodeId)
            , subgraph(subgraph) {}

        /// What the entry's undo takes out of the graph, and its redo puts back.
        struct Out {
            EntryPlace place;
            std::unique_ptr<SubgraphEntry> held;
            std::unordered_map<GUID, SubgraphEntries, GuidHash>::node_type absentEntries;
        };

        GUID nodeId;
        GUID subgraph;
        bool attached = true;
        // Made by the first Prepare, so that every toggle of a step stays as small as a node's
        // and recording an entry allocates nothing.
        std::unique_ptr<Out> out;

        void Prepare(GraphStore& store, Room& room);
        void Apply(Context& context) noexcept;
    };

    /// The entries filed under an id that no node has, which DestroyNode of that id removed.
    struct AbsentEntries {
        explicit AbsentEntries(const GUID& nodeId)
            : nodeId(nodeId) {}

        GUID nodeId;
        bool attached = true;
        std::vector<EntryPlace> places;
        std::unordered_map<GUID, SubgraphEntries, GuidHash>::node_type held;

        void Prepare(GraphStore& store, Room& room);
        void Apply(Context& context) noexcept;
    };

    /// Clear: every node, newest first, announced as one change.
    struct Clear {
        std::vector<Node> nodes; // in the order they left
        bool cleared = false;

        void Prepare(GraphStore& store, Room& room);
        void Apply(Context& context) noexcept;
    };

    /// An assignment: the graph's store and the one it replaced change places.
    struct Assignment {
        std::unique_ptr<GraphStore> other;
        LinkTable links; // made by Prepare: the other store's links, for the graph's link table

        /// The toggle of an assignment just made, keeping the store it replaced.
        static Assignment Keep(std::unique_ptr<GraphStore> replaced) noexcept;

        void Prepare(GraphStore& store, Room& room);

        /// Swaps the stores in the graph's slot; see Swap.
        void Apply(Context&) noexcept {}
    };

    using Any = std::variant<Write, Flag, Link, Pin, Node, Entry, AbsentEntries, Clear, Assignment>;

    /// Puts the assignment's other store in the graph's place and keeps the graph's store there
    /// instead: the graph's link table, observer and history stay with the graph. Prepare must
    /// have run.
    static void Swap(Graph& graph, Assignment& assignment, EditNotices* notices) noexcept;

    /// Room in the store's tables for what a step's toggles bring back.
    static void MakeRoom(GraphStore& store, const Room& room);

    // The pieces the toggles share.
    static void UnlinkEntry(GraphStore& store, SubgraphEntry& entry, EntryPlace& place) noexcept;
    static void RelinkEntry(GraphStore& store, EntryPlace& place) noexcept;
    static void PrepareLinks(GraphStore& store, PinLinks& links, bool attached, Room& room);
    static void CutLinks(GraphStore& store, PinLinks& links, const NodeRecord* leaving) noexcept;
    static void RestoreLinks(GraphStore& store, PinLinks& links,
                             const NodeRecord* leaving) noexcept;
    /// The links that go or come with the pin, each once: those between two pins that go
    /// together are told on their downstream end.
    static void TellLinks(const PinRecord& pin, const NodeRecord* leaving, bool made,
                          EditNotices& notices);
    static std::size_t CountLinks(const PinRecord& pin);
    static void DestroyDetachedPin(PinRecord* pin) noexcept;
    static void DestroyDetachedNode(NodeRecord* node) noexcept;

    /// Node::SetDirty and Node::SetDisabled while the graph has a history: sets the flag, and
    /// records it when the node is the graph's own and the flag changes.
    static void SetFlag(EditHistory::Impl& history, datagraph::Node& node, bool disabled,
                        bool value);
    /// Pin::SetData and Pin::SetUpdatedData on a pin of a graph with a history, after the write:
    /// records it, or takes it back and raises when it cannot be recorded.
    static void HostWrote(EditHistory::Impl& history, PinRecord& pin,
                          std::shared_ptr<const IDataValue> before, bool beforeMark);
};

} // namespace datagraph
