#include <datagraph/Graph.h>

#include "GraphFields.h"

#include <cstdint>

namespace datagraph {

IdentifierList Graph::GetNodesInTopologicalOrder() const {
    const IdentifierSet nodeIds = GetNodesInArbitraryOrder();
    std::unordered_map<GUID, std::int32_t, boost::hash<GUID>, std::equal_to<GUID>> unplacedInputs;
    IdentifierSet ready;
    IdentifierList order;
    order.reserve(nodeIds.size());

    for (const GUID& nodeId : nodeIds) {
        const auto inputCount = static_cast<std::int32_t>(GetInputNodes(nodeId).size());
        unplacedInputs[nodeId] = inputCount;
        if (inputCount == 0) {
            ready.insert(nodeId);
        }
    }
    while (!ready.empty()) {
        const GUID nodeId = *ready.begin();
        ready.erase(ready.begin());
        order.push_back(nodeId);
        for (const GUID& downstreamId : GetOutputNodes(nodeId)) {
            std::int32_t& count = unplacedInputs[downstreamId];
            GraphAssert(count > 0, "Graph topology is incorrect.");
            if (--count == 0) {
                ready.insert(downstreamId);
            }
        }
    }
    GraphAssert(order.size() == nodeIds.size(), "Topo sort did not account for all nodes.");
    return order;
}

} // namespace datagraph
