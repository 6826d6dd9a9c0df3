#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"

namespace datagraph {

IdentifierList Graph::GetNodesInTopologicalOrder() const {
    return fields->TopologicalOrder()->ids;
}

std::shared_ptr<const Graph::Fields::Order> Graph::Fields::TopologicalOrder() const {
    if (!lastOrder || lastOrder->version != structureVersion) {
        auto order = std::make_shared<Order>();
        order->version = structureVersion;
        order->records = ComputeTopologicalOrder();
        order->ids.reserve(order->records.size());
        for (const NodeRecord* node : order->records) {
            order->ids.push_back(node->id);
        }
        lastOrder = std::move(order);
    }
    return lastOrder;
}

std::shared_ptr<const Graph::Fields::TraversalPlan>
Graph::Fields::PlanTraversal(const GUID& executionSubgraph) const {
    std::shared_ptr<const Order> order = TopologicalOrder();
    if (lastPlan && lastPlan->order == order && lastPlan->executionSubgraph == executionSubgraph) {
        return lastPlan;
    }
    const std::uint32_t member = NextVisit();
    auto range = executionSubgraphToNodes.equal_range(executionSubgraph);
    for (auto entry = range.first; entry != range.second; ++entry) {
        if (const NodeRecord* node = FindNode(entry->second)) {
            node->visit = member;
        }
    }
    auto plan = std::make_shared<TraversalPlan>();
    plan->executionSubgraph = executionSubgraph;
    plan->roles.reserve(order->records.size());
    for (const NodeRecord* node : order->records) {
        plan->roles.push_back(node->visit != member  ? Role::Outside
                              : IsUnconnected(*node) ? Role::Unconnected
                                                     : Role::Candidate);
    }
    plan->order = std::move(order);
    lastPlan = std::move(plan);
    return lastPlan;
}

// Kahn's method over the records: every node's distinct input nodes are counted once, and a
// placed node releases each of its distinct output nodes once. Links that run from an input pin,
// or into an output pin, make the two counts disagree; the checks below report that.
std::vector<const Graph::Fields::NodeRecord*> Graph::Fields::ComputeTopologicalOrder() const {
    const Fields& f = *this;
    std::vector<const NodeRecord*> order;
    order.reserve(f.nodes.Size());
    std::vector<const NodeRecord*> ready;
    f.nodes.ForEach([&](const NodeRecord& node) {
        node.pendingInputs = f.CountInputNodes(node);
        if (node.pendingInputs == 0) {
            ready.push_back(&node);
        }
    });
    while (!ready.empty()) {
        const NodeRecord& node = *ready.back();
        ready.pop_back();
        order.push_back(&node);
        const std::uint32_t visit = f.NextVisit();
        for (const PinRecord* pin : node.outputPins) {
            for (const PinRecord* downstreamPin : pin->downstream) {
                const NodeRecord& downstream = *downstreamPin->owner;
                if (downstream.visit == visit) {
                    continue;
                }
                downstream.visit = visit;
                CheckThat(downstream.pendingInputs > 0, "Graph topology is incorrect.");
                if (--downstream.pendingInputs == 0) {
                    ready.push_back(&downstream);
                }
            }
        }
    }
    CheckThat(order.size() == f.nodes.Size(), "Topo sort did not account for all nodes.");
    return order;
}

} // namespace datagraph
