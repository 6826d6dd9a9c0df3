#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"

namespace datagraph {

// Kahn's method over the records: every node's distinct input nodes are counted once, and a
// placed node releases each of its distinct output nodes once. Links that run from an input pin,
// or into an output pin, make the two counts disagree; the checks below report that.
IdentifierList Graph::GetNodesInTopologicalOrder() const {
    const Fields& f = *fields;
    IdentifierList order;
    order.reserve(f.nodes.size());
    std::vector<const Fields::NodeRecord*> ready;
    for (const auto& entry : f.nodes) {
        entry.second.pendingInputs = f.CountInputNodes(entry.second);
        if (entry.second.pendingInputs == 0) {
            ready.push_back(&entry.second);
        }
    }
    while (!ready.empty()) {
        const Fields::NodeRecord& node = *ready.back();
        ready.pop_back();
        order.push_back(node.id);
        const std::uint32_t visit = f.NextVisit();
        for (const Fields::PinRecord* pin : node.outputPins) {
            for (const Fields::PinRecord* downstreamPin : pin->downstream) {
                const Fields::NodeRecord& downstream = *downstreamPin->owner;
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
