#pragma once

// Told, node by node, what a traversal did: which nodes ran and for how long, which were skipped
// and why, and which failed with what message. Implemented by the host and handed to
// Graph::Traverse or NodeExecutingGraphTraverser; called on the traversing thread, in the order
// of the run. The observer is not owned and must outlive the traversal.

#include <datagraph/Foundation.h>

#include <chrono>
#include <string>

namespace datagraph {

/// @brief Why a traversal skipped a node.
///
/// Handed to ITraversalObserver::NodeSkipped; ToString(SkipReason) gives a short text for it.
enum class SkipReason {
    OutsideExecutionSubgraph, ///< The node is not filed under the subgraph being run.
    Unconnected,              ///< The node has no link at all, so no traversal runs it.
    InputsNotReady            ///< Some linked input pin lacks the updated-data mark.
};

/// @brief A short English text for `reason`, for a log line or a host's display.
///
/// "outside the execution subgraph", "not linked to any node" or "inputs not ready"; a value
/// outside the enumeration gives "unknown reason".
inline const char* ToString(SkipReason reason) {
    switch (reason) {
    case SkipReason::OutsideExecutionSubgraph:
        return "outside the execution subgraph";
    case SkipReason::Unconnected:
        return "not linked to any node";
    case SkipReason::InputsNotReady:
        return "inputs not ready";
    }
    return "unknown reason";
}

/// @brief Told, node by node, what a traversal did.
///
/// Implemented by the host; every member has an empty default, so an observer overrides only
/// what it needs. Called on the traversing thread, in the order of the run.
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
