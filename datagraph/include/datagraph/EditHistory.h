#pragma once

// Undo and redo of a host's edits to one graph, grouped into steps by scoped transactions.

#include <datagraph/Export.h>
#include <datagraph/Foundation.h>

#include <cstddef>
#include <memory>

namespace datagraph {

class Graph;

/// @brief Records every edit a host makes to one graph, and undoes and redoes them step by step.
///
/// A history is attached to its graph from construction until it is destroyed (or the graph is,
/// whichever comes first). Every edit made through the public API while it is attached is
/// recorded: the graph's own calls (CreateNode, DestroyNode, the pin calls, the link calls,
/// PutDataOnPin, SetDirty, AssignNodeToExecutionSubgraphs, Clear, assignment of another graph)
/// and the edits made through the graph's own objects (SetData and SetUpdatedData on one of its
/// pins, SetDirty and SetDisabled on one of its nodes).
///
/// Steps. An edit made outside any Transaction is one step. Edits made while a Transaction is
/// open join one step, which ends with the outermost open transaction; a transaction in which
/// nothing was recorded makes no step. A new step clears what could be redone.
///
/// What an undo restores. Undo puts back exactly what the step changed, as it was before the
/// step; Redo puts it back as the step left it:
/// - nodes and pins that an undo or redo brings back are the very objects that left: the same
///   Node and Pin objects at the same addresses, the same node function and value objects
///   (nothing is cloned), the same ids, types, values, marks, dirty and disabled flags, the
///   node's subgraph entries and the links of every pin, each output pin's links in their
///   former order;
/// - nodes and pins that stay in the graph through an undo or redo keep their addresses, and
///   GetPinToPinEdges() stays the same object;
/// - an assignment of another graph is one step: its undo puts back the graph as it was, and its
///   redo the objects the assignment made, without cloning anything again;
/// - Clear is one step, whose undo brings every node back.
///
/// Traversals. A traversal is not a step: it records nothing and leaves both lists as they were.
/// What it wrote is not undone by itself: an undo or redo restores only the values and marks of
/// the pins its step wrote (to the value and mark each held just before the write, or just
/// after), and the flags of the nodes whose flags its step set; every other value, mark and flag
/// stays as the traversal left it. A node or pin that an undo or redo takes out of the graph
/// keeps what it holds at that moment and comes back with it. A node function that changes the
/// graph's structure while a traversal runs (makes or destroys a node, pin, link or subgraph
/// entry) leaves steps behind that could no longer be replayed exactly: the history then forgets
/// every step, both lists become empty, and the edits of that traversal are not recorded.
///
/// Rules the history keeps:
/// - A refused request (one that raises before changing the graph) records nothing and leaves
///   both lists as they were. A request that succeeds without changing anything a host can
///   observe records nothing: linking a pair already linked, unlinking a pin without a link,
///   destroying an id that names nothing, setting a flag to the value it has, writing to a pin
///   the object and mark it already holds, setting a mark it already carries.
/// - Undo and Redo raise GraphException, and change nothing, when there is nothing to undo or
///   redo, while a Transaction is open, and while a traversal of the graph runs. They call no
///   host code but the graph's edit observer: no node function, schema, Clone or value is asked
///   anything, and no host object dies, so the only failures are these refusals and running out
///   of memory, which leaves the graph and both lists as they were.
/// - An undo or redo is announced to the graph's edit observer as the changes it makes, after
///   both lists are updated: a node brought back as NodeCreated (with the pins it has then),
///   followed by LinkMade for each of its links; a node taken out by LinkRemoved for each link
///   and NodeDestroyed; a value as PinDataWritten, or PinMarkSet when only the mark changed; a
///   subgraph entry taken out as NodeRemovedFromExecutionSubgraph; the undo of Clear and the undo
///   and redo of an assignment as GraphAssigned, the redo of Clear as GraphCleared. An exception
///   the observer raises leaves the undo or redo done.
/// - Host code run while a step is recorded or dropped (a value's GetType, the destructor of a
///   value or node function whose last holder was the history) may edit the graph: such an edit
///   is recorded as a step of its own, after the one being made.
/// - The history holds only the objects its steps must restore: the values a write replaced,
///   the nodes and pins that left the graph (with their values), and the graph an assignment
///   replaced. They are released when their step is dropped: when it falls beyond the limit,
///   when it can no longer be redone, or with the history.
/// - Undoing or redoing a step costs time in proportion to what the step changed, not to the
///   size of the graph.
///
/// A history and an edit observer can be used together. A graph has at most one history.
class DATAGRAPH_API EditHistory {
public:
    /// @brief Groups the edits made during its lifetime into one step.
    ///
    /// Transactions nest: an inner one joins the outer, and the step ends with the outermost.
    /// A transaction left by an exception ends its step like any other: what was done before the
    /// exception stays done and makes one step, which Undo takes back. Each of the graph's own
    /// calls is all or nothing, so the step holds only whole edits.
    class DATAGRAPH_API Transaction {
    public:
        explicit Transaction(EditHistory& history);
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        ~Transaction();

    private:
        EditHistory& history;
    };

    /// Attaches a history to `graph`. Raises GraphException when the graph already has one.
    explicit EditHistory(Graph& graph);
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;
    /// Detaches from the graph and releases what the steps hold.
    ~EditHistory();

    /// Takes back the latest step not undone yet. Raises GraphException when there is none, while
    /// a transaction is open, or while a traversal of the graph runs.
    void Undo();
    /// Makes again the step undone last. Raises GraphException when there is none, while a
    /// transaction is open, or while a traversal of the graph runs.
    void Redo();
    /// Whether Undo would take a step back now.
    bool CanUndo() const;
    /// Whether Redo would make a step again now.
    bool CanRedo() const;

    /// The steps that can be undone, and those that can be redone.
    std::size_t UndoCount() const;
    std::size_t RedoCount() const;

    /// Keeps at most `steps` steps that can be undone, dropping the oldest ones beyond it (0,
    /// the default, keeps every step). Steps that can be redone are not counted.
    void SetLimit(std::size_t steps);
    std::size_t Limit() const;

    /// Forgets every step, releasing what they hold; the graph stays as it is.
    void Clear();

    /// Whether the history is still attached to its graph (false once the graph is destroyed).
    bool IsAttached() const;

    class Impl;

private:
    std::unique_ptr<Impl> impl;
};

} // namespace datagraph
