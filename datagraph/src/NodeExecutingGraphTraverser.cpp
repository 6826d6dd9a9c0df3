#include <datagraph/NodeExecutingGraphTraverser.h>

#include "run/TraversalLoop.h"

namespace datagraph {

NodeExecutingGraphTraverser::NodeExecutingGraphTraverser(ITraversableGraph& graph,
                                                         const GUID& executionSubgraphID)
    : NodeExecutingGraphTraverser(graph, executionSubgraphID, nullptr) {}

NodeExecutingGraphTraverser::NodeExecutingGraphTraverser(ITraversableGraph& graph,
                                                         const GUID& executionSubgraphID,
                                                         ITraversalObserver* observer)
    : graph(graph)
    , executionSubgraphID(executionSubgraphID)
    , observer(observer) {}

NodeExecutingGraphTraverser::NodeExecutingGraphTraverser(const NodeExecutingGraphTraverser& other)
    : IGraphTraverser(other)
    , graph(other.graph)
    , executionSubgraphID(other.executionSubgraphID)
    , observer(other.observer) {}

NodeExecutingGraphTraverser::~NodeExecutingGraphTraverser() = default;

void NodeExecutingGraphTraverser::Traverse() {
    IdentifierList order = graph.GetNodesInTopologicalOrder();
    IdentifierSet members = graph.GetNodesInExecutionSubgraph(executionSubgraphID);
    InterfaceSteps steps(graph, std::move(order), std::move(members));
    RunTraversal(steps, observer);
}

} // namespace datagraph
