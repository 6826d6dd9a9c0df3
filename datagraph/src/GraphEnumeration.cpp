#include <datagraph/Graph.h>

#include "store/GraphStore.h"

namespace datagraph {

IdentifierList Graph::FindNodes(std::function<bool(const INodeFunction&)> predicate) const {
    IdentifierList found;
    for (const GUID& nodeId : GetNodesInArbitraryOrder()) {
        const Node& node = GetConstNode(nodeId);
        if (predicate(node.GetNodeFunction())) {
            found.push_back(nodeId);
        }
    }
    return found;
}

Graph::NodeMap Graph::GetNodes() const {
    NodeMap nodes;
    nodes.reserve(store->NodeCount());
    store->ForEachNode([&nodes](const GraphStore::NodeRecord& node) {
        nodes.emplace(node.Id(), node.SharedObject());
    });
    return nodes;
}

IdentifierSet Graph::GetNodesInArbitraryOrder() const {
    IdentifierSet nodeIds;
    nodeIds.reserve(store->NodeCount());
    store->ForEachNode(
        [&nodeIds](const GraphStore::NodeRecord& node) { nodeIds.insert(node.Id()); });
    return nodeIds;
}

std::vector<const Pin*> Graph::GetAllPins() const {
    std::vector<const Pin*> allPins;
    allPins.reserve(store->PinCount());
    store->ForEachPin(
        [&allPins](const GraphStore::PinRecord& pin) { allPins.push_back(&pin.Object()); });
    return allPins;
}

} // namespace datagraph
