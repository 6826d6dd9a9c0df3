#pragma once

// Told, node by node, what a traversal did: which nodes ran and for how long, which were skipped
// and why, and which failed with what message. Implemented by the host and handed to
// Graph::Traverse or NodeExecutingGraphTraverser; called on the traversing thread, in the order
// of the run. The observer is not owned and must outlive the traversal.

#include <datagraph/Foundation.h>

#include <chrono>
#include <string>

namespace datagraph {

enum class SkipReason {
    OutsideExecutionSubgraph, ///< The node is not filed under the subgraph being run.
    Unconnected,              ///< The node has no link at all, so no traversal runs it.
    InputsNotReady            ///< Some linked input pin lacks the updated-data mark.
};

class DATAGRAPH_API ITraversalObserver {
public:
    virtual ~ITraversalObserver();
    ITraversalObserver() = default;
    ITraversalObserver(const ITraversalObserver&) = default;
    ITraversalObserver& operator=(const ITraversalObserver&) = default;

    /// The node executed and its marked outputs moved downstream; `duration` covers both.
    virtual void NodeRan(const GUID& nodeId, std::chrono::nanoseconds duration);
    /// `unmarkedInputPins` holds the linked input pins without the mark when `reason` is
    /// InputsNotReady, and is empty otherwise.
    virtual void NodeSkipped(const GUID& nodeId, SkipReason reason,
                             const IdentifierSet& unmarkedInputPins);
    /// A GraphException with `message` as its what() ended the node's step; the traversal goes
    /// on. What the node wrote before the failure stays.
    virtual void NodeFailed(const GUID& nodeId, const std::string& message);
};

} // namespace datagraph
