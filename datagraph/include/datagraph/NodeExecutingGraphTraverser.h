#pragma once

// Runs one execution subgraph of any ITraversableGraph once: every ready node in topological
// order, handing each node's marked output values downstream. A GraphException inside one node
// is logged and skipped; anything else ends the run. Keeps nothing between runs. An optional
// observer is told what happened to each node.

#include <datagraph/Foundation.h>
#include <datagraph/IGraphTraverser.h>
#include <datagraph/ITraversableGraph.h>
#include <datagraph/ITraversalObserver.h>

namespace datagraph {

/// @brief Runs one execution subgraph of any ITraversableGraph once: every ready node in
/// topological order, handing each node's marked output values downstream.
///
/// A GraphException inside one node is logged and skipped; anything else ends the run. Keeps
/// nothing between runs. An optional observer is told what happened to each node.
class DATAGRAPH_API NodeExecutingGraphTraverser : public IGraphTraverser {
public:
    /// Keeps a reference to `graph`, which must outlive the traverser.
    NodeExecutingGraphTraverser(ITraversableGraph& graph, const GUID& executionSubgraphID);
    /// As above, and tells `observer` (when not null, not owned) about every node of the order.
    NodeExecutingGraphTraverser(ITraversableGraph& graph, const GUID& executionSubgraphID,
                                ITraversalObserver* observer);
    NodeExecutingGraphTraverser(const NodeExecutingGraphTraverser& other);
    NodeExecutingGraphTraverser& operator=(const NodeExecutingGraphTraverser&) = delete;
    ~NodeExecutingGraphTraverser() override;

    void Traverse() override;

private:
    ITraversableGraph& graph;
    GUID executionSubgraphID;
    ITraversalObserver* observer;
};

} // namespace datagraph
