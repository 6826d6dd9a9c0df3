#include <datagraph/NodeExecutingGraphTraverser.h>

#include <kescoreplatform/KLog.h>

namespace datagraph {

NodeExecutingGraphTraverser::NodeExecutingGraphTraverser(ITraversableGraph& graph,
                                                         const GUID& executionSubgraphID)
    : graph(graph)
    , executionSubgraphID(executionSubgraphID) {}

NodeExecutingGraphTraverser::NodeExecutingGraphTraverser(const NodeExecutingGraphTraverser& other)
    : IGraphTraverser(other)
    , graph(other.graph)
    , executionSubgraphID(other.executionSubgraphID) {}

NodeExecutingGraphTraverser::~NodeExecutingGraphTraverser() = default;

void NodeExecutingGraphTraverser::Traverse() {
    const IdentifierList order = graph.GetNodesInTopologicalOrder();
    const IdentifierSet members = graph.GetNodesInExecutionSubgraph(executionSubgraphID);
    for (const GUID& nodeId : order) {
        if (members.count(nodeId) == 0 || graph.NodeIsUnconnected(nodeId) ||
            !AllConnectedInputPinsAreLoadedWithData(nodeId)) {
            continue;
        }
        ITraversableNode& node = graph.GetTraversableNode(nodeId);
        try {
            node.Execute();
            MoveDataFromOutputPinsToDownstreamInputPins(nodeId);
        } catch (const GraphException&) {
            LogMessage(
                KLog::Info,
                KFormatString(L"Caught non-fatal graph exception when traversing the graph"));
        }
    }
}

bool NodeExecutingGraphTraverser::AllConnectedInputPinsAreLoadedWithData(const GUID& nodeId) {
    bool loaded = true;
    for (const GUID& pinId : graph.GetInputPins(nodeId)) {
        if (graph.HasUpstreamPin(pinId)) {
            loaded = graph.GetTraversablePin(pinId).HasUpdatedData() && loaded;
        }
    }
    return loaded;
}

void NodeExecutingGraphTraverser::MoveDataFromOutputPinsToDownstreamInputPins(const GUID& nodeId) {
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

} // namespace datagraph
