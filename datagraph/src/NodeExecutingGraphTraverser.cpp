#include <datagraph/NodeExecutingGraphTraverser.h>

#include <kescoreplatform/KLog.h>

#include <chrono>

namespace datagraph {

namespace {

// Asked only for an observer, so that a traversal without one makes no extra queries.
IdentifierSet UnmarkedLinkedInputPins(ITraversableGraph& graph, const GUID& nodeId) {
    IdentifierSet unmarked;
    for (const GUID& pinId : graph.GetInputPins(nodeId)) {
        if (graph.HasUpstreamPin(pinId) && !graph.GetTraversablePin(pinId).HasUpdatedData()) {
            unmarked.insert(pinId);
        }
    }
    return unmarked;
}

} // namespace

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
    using Clock = std::chrono::steady_clock;
    const IdentifierList order = graph.GetNodesInTopologicalOrder();
    const IdentifierSet members = graph.GetNodesInExecutionSubgraph(executionSubgraphID);
    for (const GUID& nodeId : order) {
        if (members.count(nodeId) == 0) {
            if (observer) {
                observer->NodeSkipped(nodeId, SkipReason::OutsideExecutionSubgraph, {});
            }
            continue;
        }
        if (graph.NodeIsUnconnected(nodeId)) {
            if (observer) {
                observer->NodeSkipped(nodeId, SkipReason::Unconnected, {});
            }
            continue;
        }
        if (!AllConnectedInputPinsAreLoadedWithData(nodeId)) {
            if (observer) {
                observer->NodeSkipped(nodeId, SkipReason::InputsNotReady,
                                      UnmarkedLinkedInputPins(graph, nodeId));
            }
            continue;
        }
        ITraversableNode& node = graph.GetTraversableNode(nodeId);
        const Clock::time_point started = observer ? Clock::now() : Clock::time_point();
        try {
            node.Execute();
            MoveDataFromOutputPinsToDownstreamInputPins(nodeId);
        } catch (const GraphException& failure) {
            LogMessage(
                KLog::Info,
                KFormatString(L"Caught non-fatal graph exception when traversing the graph"));
            if (observer) {
                observer->NodeFailed(nodeId, failure.what());
            }
            continue;
        }
        // Outside the guarded block: an observer's own failure is not the node's.
        if (observer) {
            observer->NodeRan(nodeId, Clock::now() - started);
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
