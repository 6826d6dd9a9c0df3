#pragma once

// Told of every change a host makes to a graph through the public API, once the change is made:
// nodes and pins made and destroyed, links made and removed, values written and marks set,
// dirty and disabled marks, subgraph entries, Clear and assignment. What a traversal writes is
// summed up in one notice per traversal. Implemented by the host and handed to
// Graph::SetEditObserver; not owned.

#include <datagraph/Foundation.h>

namespace datagraph {

/// @brief Told of every change a host makes to a graph, once the change is made.
///
/// Implemented by the host and attached with Graph::SetEditObserver; every member has an empty
/// default, so an observer overrides only what it needs. The rules every notice follows:
///
/// - A notice comes after its change is complete, so the observer may query the graph and sees
///   the new state. A refused request (one that raises) and a request that changes nothing
///   (linking a pair already linked, unlinking a pin without a link, destroying an id that names
///   nothing) send no notice. Every other call counts, even one that writes what was there.
/// - An exception an observer raises leaves the edit through the call that made the change, with
///   the change applied and the graph consistent; the notices the same call had still to send
///   are not sent.
/// - While a traversal of the graph runs, the values it writes and the marks it sets are not
///   announced one by one: TraversalFinished sums them up. A node function that makes or
///   destroys nodes, pins or links meanwhile is announced as any host is.
/// - Pins with no graph (a host's own Pin objects) and node copies outside a graph are not
///   watched.
class DATAGRAPH_API IGraphEditObserver {
public:
    virtual ~IGraphEditObserver();
    IGraphEditObserver() = default;
    IGraphEditObserver(const IGraphEditObserver&) = default;
    IGraphEditObserver& operator=(const IGraphEditObserver&) = default;

    /// CreateNode made the node, with the pins of its function's schemas and its entry in the
    /// execution subgraph it was filed under; those are not announced one by one.
    virtual void NodeCreated(const GUID& nodeId);
    /// DestroyNode took the node, its pins and its subgraph entries. Each link that touched one
    /// of its pins was announced once by LinkRemoved just before.
    virtual void NodeDestroyed(const GUID& nodeId);
    /// CreateInputPin or CreateOutputPin made the pin on the node.
    virtual void PinCreated(const GUID& nodeId, const GUID& pinId, bool outputPin);
    /// DestroyInputPin or DestroyOutputPin took the pin; each of its links was announced by
    /// LinkRemoved just before.
    virtual void PinDestroyed(const GUID& nodeId, const GUID& pinId, bool outputPin);
    /// LinkPins made the link; it is the last one of `upstreamPinId`.
    virtual void LinkMade(const GUID& upstreamPinId, const GUID& downstreamPinId);
    /// UnlinkPins or UnlinkInputPin removed the link, or it went with a pin or node that was
    /// destroyed.
    virtual void LinkRemoved(const GUID& upstreamPinId, const GUID& downstreamPinId);
    /// The host put a value on the pin (PutDataOnPin, or SetData on the pin itself); the pin now
    /// holds it and carries the updated-data mark.
    virtual void PinDataWritten(const GUID& pinId);
    /// The host set or cleared the pin's updated-data mark with SetUpdatedData.
    virtual void PinMarkSet(const GUID& pinId, bool updatedData);
    /// Graph::SetDirty or Node::SetDirty set the node's dirty mark to `dirty`.
    virtual void NodeDirtySet(const GUID& nodeId, bool dirty);
    /// Node::SetDisabled set the node's disabled mark to `disabled`.
    virtual void NodeDisabledSet(const GUID& nodeId, bool disabled);
    /// Node::Execute ran the node outside a traversal of its graph and wrote the outputs it
    /// returned (some of them, when it raised; the notice comes then too, before the exception
    /// goes on). NodeExecutingGraphTraverser runs nodes this way, and moves values along the
    /// links with SetData, each move announced by PinDataWritten.
    virtual void NodeExecuted(const GUID& nodeId);
    /// AssignNodeToExecutionSubgraphs filed the id under one more subgraph (whether or not a
    /// node has that id).
    virtual void NodeAssignedToExecutionSubgraph(const GUID& nodeId, const GUID& executionSubgraph);
    /// An EditHistory's undo took one entry of the id out of the subgraph: the one that
    /// AssignNodeToExecutionSubgraphs filed last.
    virtual void NodeRemovedFromExecutionSubgraph(const GUID& nodeId,
                                                  const GUID& executionSubgraph);
    /// DestroyNode named an id that no node has, and the subgraph entries filed under it went.
    virtual void SubgraphEntriesRemoved(const GUID& nodeId);
    /// Clear emptied the graph, in one notice, with nothing announced for each node; sent even
    /// when the graph was already empty. A graph's destructor sends nothing.
    virtual void GraphCleared();
    /// The graph was assigned another one, in one notice; it now holds a copy of that graph and
    /// keeps its observer. Assigning a graph to itself sends nothing.
    virtual void GraphAssigned();
    /// A Traverse or TraverseChanged of `executionSubgraph` ended, normally or by an exception;
    /// the values and marks it wrote were not announced. A traversal that was refused before it
    /// started sends nothing. When the traversal raised, the observer hears of it first, and an
    /// exception the observer raises then takes the traversal's place.
    virtual void TraversalFinished(const GUID& executionSubgraph);
};

} // namespace datagraph
