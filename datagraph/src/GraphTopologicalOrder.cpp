#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"

namespace datagraph {

IdentifierList Graph::GetNodesInTopologicalOrder() const {
    IdentifierList ids;
    const std::vector<const Fields::NodeRecord*> order = fields->TopologicalOrder();
    ids.reserve(order.size());
    for (const Fields::NodeRecord* node : order) {
        ids.push_back(node->id);
    }
    return ids;
}

// Kahn's method over the records: every node's distinct input nodes are counted once, and a
// placed node releases each of its distinct output nodes once. Links that run from an input pin,
// or into an output pin, make the two counts disagree; the checks below report that.
std::vector<const Graph::Fields::NodeRecord*> Graph::Fields::TopologicalOrder() const {
    const Fields& f = *this;
    std::vector<const NodeRecord*> order;
    order.reserve(f.nodes.size());
    std::vector<const NodeRecord*> ready;
    for (const auto& entry : f.nodes) {
        entry.second.pendingInputs = f.CountInputNodes(entry.second);
        if (entry.second.pendingInputs == 0) {
            ready.push_back(&entry.second);
        }
    }
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
    CheckThat(order.size() == f.nodes.size(), "Topo sort did not account for all nodes.");
    return order;
}

} // namespace datagraph
