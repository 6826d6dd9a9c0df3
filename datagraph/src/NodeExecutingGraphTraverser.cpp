#include <datagraph/NodeExecutingGraphTraverser.h>

#include "TraversalLoop.h"

namespace datagraph {

IdentifierSet InterfaceSteps::UnmarkedLinkedInputPins(std::size_t i) {
    IdentifierSet unmarked;
    for (const GUID& pinId : graph.GetInputPins(order[i])) {
        if (graph.HasUpstreamPin(pinId) && !graph.GetTraversablePin(pinId).HasUpdatedData()) {
            unmarked.insert(pinId);
        }
    }
    return unmarked;
}

bool InterfaceSteps::InputsAreReady(const GUID& nodeId) {
    bool loaded = true;
    for (const GUID& pinId : graph.GetInputPins(nodeId)) {
        if (graph.HasUpstreamPin(pinId)) {
            loaded = graph.GetTraversablePin(pinId).HasUpdatedData() && loaded;
        }
    }
    return loaded;
}

void InterfaceSteps::MoveDataDownstream(const GUID& nodeId) {
    for (const GUID& outputPinId : graph.GetOutputPins(nodeId)) {
        ITraversablePin& outputPin = graph.GetTraversablePin(outputPinId);
        if (!outputPin.HasUpdatedData()) {
            continue;
        }
        const std::shared_ptr<const IDataValue> value = outputPin.GetData();
        for (const GUID& downstreamPinId : graph.GetDownstreamPins(outputPinId)) {
            graph.GetTraversablePin(downstreamPinId).SetData(value);
        }
    }
}

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
