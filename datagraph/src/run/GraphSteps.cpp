#include "run/GraphSteps.h"

#include "run/NodeRun.h"

namespace datagraph {

std::shared_ptr<const GraphStore::TraversalPlan>
GraphStore::PlanTraversal(const GUID& executionSubgraph) const {
    std::shared_ptr<const Order> order = TopologicalOrder();
    if (lastPlan && lastPlan->order == order && lastPlan->executionSubgraph == executionSubgraph) {
        return lastPlan;
    }
    const std::uint32_t member = NextVisit();
    for (const SubgraphEntry* entry = FirstEntryOf(executionSubgraph); entry != nullptr;
         entry = entry->next) {
        if (entry->node != nullptr) {
            entry->node->visit = member;
        }
    }
    auto plan = std::make_shared<TraversalPlan>();
    plan->executionSubgraph = executionSubgraph;
    // Filled by index: an instantiated emplace_back would be named after the role type and so
    // would slip into the library's exported symbols.
    plan->roles.resize(order->records.size());
    for (std::size_t i = 0; i < order->records.size(); ++i) {
        const NodeRecord& node = *order->records[i];
        plan->roles[i] = node.visit != member   ? TraversalRole::OutsideSubgraph
                         : node.IsUnconnected() ? TraversalRole::Unconnected
                                                : TraversalRole::RunsOnceInputsAreReady;
    }
    plan->order = std::move(order);
    lastPlan = std::move(plan);
    return lastPlan;
}

GraphSteps::GraphSteps(Graph& graph, const GUID& executionSubgraph)
    : graph(graph)
    , plan(GraphStore::Of(graph).PlanTraversal(executionSubgraph))
    , order(plan->order->records)
    , ids(plan->order->ids)
    , version(plan->order->version) {}

bool GraphSteps::InputsAreReady(std::size_t i) {
    if (!RecordsAreCurrent()) {
        return Interface().InputsAreReady(i);
    }
    return datagraph::InputsAreReady(*order[i]);
}

void GraphSteps::Execute(std::size_t i, ITraversableNode& node) {
    if (!RecordsAreCurrent()) {
        node.Execute();
        return;
    }
    RunNodeFunction(graph, order[i]->Function(), order[i], &inputs);
}

void GraphSteps::MoveDataDownstream(std::size_t i) {
    // A value's GetType() that edits the graph makes the records stale: the move starts over.
    RecordPins pins{GraphStore::Of(graph), version};
    if (!RecordsAreCurrent() || !datagraph::MoveDataDownstream(pins, order[i])) {
        Interface().MoveDataDownstream(i);
    }
}

void RunTraversal(GraphSteps& steps, ITraversalObserver* observer) {
    RunTraversal<GraphSteps>(steps, observer);
}

InterfaceSteps& GraphSteps::Interface() {
    if (!fallback) {
        IdentifierSet members;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (IsMember(i)) {
                members.insert(ids[i]);
            }
        }
        fallback.emplace(graph, ids, std::move(members));
    }
    return *fallback;
}

} // namespace datagraph
