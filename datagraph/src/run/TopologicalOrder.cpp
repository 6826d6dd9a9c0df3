#include "run/TraversalPlan.h"

#include "Checks.h"

#include <algorithm>

namespace datagraph {

std::shared_ptr<const GraphStore::Order> GraphStore::TopologicalOrder() const {
    if (!lastOrder || lastOrder->version != structureVersion) {
        auto order = std::make_shared<Order>();
        order->version = structureVersion;
        ComputeTopologicalOrder(*order);
        lastOrder = std::move(order);
    }
    return lastOrder;
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
void GraphStore::ComputeTopologicalOrder(Order& order) const {
    std::vector<const NodeRecord*>& placed = order.records;
    placed.reserve(nodes.Size());
    order.ids.reserve(nodes.Size());
    auto place = [&order](const NodeRecord& node) {
        node.orderPosition = static_cast<std::uint32_t>(order.records.size());
        order.records.push_back(&node);
        order.ids.push_back(node.id);
    };

    if (linksNotOutputToInput == 0) {
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

// The number of distinct input nodes, as GetInputNodes counts them.
std::int32_t GraphStore::CountInputNodes(const NodeRecord& node) const {
    const std::uint32_t visit = NextVisit();
    std::int32_t count = 0;
    auto countOwner = [&](const NodeRecord& owner) {
        if (owner.visit != visit) {
            owner.visit = visit;
            ++count;
        }
    };
    for (const PinRecord* pin : node.inputPins) {
        if (pin->upstream != nullptr) {
            countOwner(*pin->upstream->owner);
            continue;
        }
        for (const PinRecord* downstream : pin->downstream) {
            countOwner(*downstream->owner);
        }
    }
    return count;
}

} // namespace datagraph
