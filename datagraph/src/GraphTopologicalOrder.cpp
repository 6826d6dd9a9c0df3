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
        ComputeTopologicalOrder(*order);
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
    auto subgraph = subgraphs.find(executionSubgraph);
    if (subgraph != subgraphs.end()) {
        for (const SubgraphEntry* entry = subgraph->second.first; entry != nullptr;
             entry = entry->next) {
            if (entry->node != nullptr) {
                entry->node->visit = member;
            }
        }
    }
    auto plan = std::make_shared<TraversalPlan>();
    plan->executionSubgraph = executionSubgraph;
    // Filled by index: an instantiated emplace_back would be named after the role type and so
    // would slip into the library's exported symbols.
    plan->roles.resize(order->records.size());
    for (std::size_t i = 0; i < order->records.size(); ++i) {
        const NodeRecord& node = *order->records[i];
        plan->roles[i] = node.visit != member  ? Role::Outside
                         : IsUnconnected(node) ? Role::Unconnected
                                               : Role::Candidate;
    }
    plan->order = std::move(order);
    lastPlan = std::move(plan);
    return lastPlan;
}

// Kahn's method over the records. While every link runs from an output pin to an input pin, a
// node waits for each link into it and a placed node releases each link out of it; ready nodes
// are placed first come, first served, which keeps to the order in which a host built its graph
// wherever the links allow, and so walks the records about as they lie in memory.
//
// Otherwise every node's distinct input nodes are counted once, as GetInputNodes counts them, a
// placed node releases each of its distinct output nodes once, and the ready node placed next is
// the one that became ready last. Links that run from an input pin, or into an output pin, make
// those two counts disagree, and the checks below report that.
void Graph::Fields::ComputeTopologicalOrder(Order& order) const {
    std::vector<const NodeRecord*>& placed = order.records;
    placed.reserve(nodes.Size());
    order.ids.reserve(nodes.Size());
    auto place = [&order](const NodeRecord& node) {
        order.records.push_back(&node);
        order.ids.push_back(node.id);
    };

    if (oddLinks == 0) {
        nodes.ForEach([&](const NodeRecord& node) {
            node.pendingInputs = node.linksIn;
            if (node.pendingInputs == 0) {
                place(node);
            }
        });
        for (std::size_t next = 0; next < placed.size(); ++next) {
            for (const PinRecord* pin : placed[next]->outputPins) {
                for (const PinRecord* downstreamPin : pin->downstream) {
                    const NodeRecord& downstream = *downstreamPin->owner;
                    if (--downstream.pendingInputs == 0) {
                        place(downstream);
                    }
                }
            }
        }
    } else {
        std::vector<const NodeRecord*> ready;
        nodes.ForEach([&](const NodeRecord& node) {
            node.pendingInputs = CountInputNodes(node);
            if (node.pendingInputs == 0) {
                ready.push_back(&node);
            }
        });
        while (!ready.empty()) {
            const NodeRecord& node = *ready.back();
            ready.pop_back();
            place(node);
            const std::uint32_t visit = NextVisit();
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
    }
    CheckThat(placed.size() == nodes.Size(), "Topo sort did not account for all nodes.");
}

} // namespace datagraph
