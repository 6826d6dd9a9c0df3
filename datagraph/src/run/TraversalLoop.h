#pragma once

// The one traversal loop. It runs over "steps" that answer, for the i-th node of the order taken
// at the start, the questions the loop asks; InterfaceSteps answers them through ITraversableGraph
// alone, and a Graph answers them from its own records while its structure is unchanged.

#include <datagraph/ITraversableGraph.h>
#include <datagraph/ITraversalObserver.h>

#include "Hidden.h"

#include <kescoreplatform/KLog.h>

#include <chrono>
#include <cstddef>

namespace datagraph {

template <typename Steps> void RunTraversal(Steps& steps, ITraversalObserver* observer) {
    using Clock = std::chrono::steady_clock;
    for (std::size_t i = 0; i < steps.Count(); ++i) {
        steps.LookAhead(i);
        if (!steps.IsMember(i)) {
            if (observer) {
                observer->NodeSkipped(steps.Id(i), SkipReason::OutsideExecutionSubgraph, {});
            }
            continue;
        }
        if (steps.IsUnconnected(i)) {
            if (observer) {
                observer->NodeSkipped(steps.Id(i), SkipReason::Unconnected, {});
            }
            continue;
        }
        if (!steps.InputsAreReady(i)) {
            if (observer) {
                observer->NodeSkipped(steps.Id(i), SkipReason::InputsNotReady,
                                      steps.UnmarkedLinkedInputPins(i));
            }
            continue;
        }
        if (steps.MayBeLeftAsItIs(i)) {
            continue;
        }
        ITraversableNode& node = steps.Node(i);
        const Clock::time_point started = observer ? Clock::now() : Clock::time_point();
        try {
            auto execution = steps.TrackExecution(i);
            steps.Execute(i, node);
            execution.Ran();
            steps.MoveDataDownstream(i);
            execution.Succeeded();
        } catch (const GraphException& failure) {
            LogMessage(
                KLog::Info,
                KFormatString(L"Caught non-fatal graph exception when traversing the graph"));
            if (observer) {
                observer->NodeFailed(steps.Id(i), failure.what());
            }
            continue;
        }
        // Outside the guarded block: an observer's own failure is not the node's.
        if (observer) {
            observer->NodeRan(steps.Id(i), Clock::now() - started);
        }
    }
}

/// What a run that cannot see the records knows of an execution: nothing.
struct UntrackedExecution {
    void Ran() {}

    void Succeeded() {}
};

// Every question asked through ITraversableGraph, so that it works over any host graph.
class DATAGRAPH_HIDDEN InterfaceSteps {
public:
    InterfaceSteps(ITraversableGraph& graph, IdentifierList order, IdentifierSet members)
        : graph(graph)
        , order(std::move(order))
        , members(std::move(members)) {}

    std::size_t Count() const { return order.size(); }

    const GUID& Id(std::size_t i) const { return order[i]; }

    bool IsMember(std::size_t i) const { return members.count(order[i]) != 0; }

    bool IsUnconnected(std::size_t i) { return graph.NodeIsUnconnected(order[i]); }

    ITraversableNode& Node(std::size_t i) { return graph.GetTraversableNode(order[i]); }

    void Execute(std::size_t, ITraversableNode& node) { node.Execute(); }

    bool MayBeLeftAsItIs(std::size_t) const { return false; }

    void LookAhead(std::size_t) const {}

    UntrackedExecution TrackExecution(std::size_t) const { return {}; }

    bool InputsAreReady(std::size_t i) { return InputsAreReady(order[i]); }

    IdentifierSet UnmarkedLinkedInputPins(std::size_t i);

    void MoveDataDownstream(std::size_t i) { MoveDataDownstream(order[i]); }

    /// Every linked input pin is visited, also after the first one without the mark.
    bool InputsAreReady(const GUID& nodeId);
    void MoveDataDownstream(const GUID& nodeId);

    // The pins of the interface, for the moving rule.
    IdentifierSet OutputPinsOf(const GUID& nodeId) const { return graph.GetOutputPins(nodeId); }

    ITraversablePin& PinOf(const GUID& pinId) { return graph.GetTraversablePin(pinId); }

    IdentifierSet DownstreamOf(const GUID& pinId) const { return graph.GetDownstreamPins(pinId); }

    bool StillCurrent() const { return true; }

    void LookAhead(const IdentifierSet&, std::size_t) const {}

private:
    ITraversableGraph& graph;
    IdentifierList order;
    IdentifierSet members;
};

} // namespace datagraph
