#include <datagraph/Graph.h>

#include "GraphFields.h"

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
    nodes.reserve(fields->nodes.size());
    for (const auto& entry : fields->nodes) {
        nodes.emplace(entry.first, entry.second.node);
    }
    return nodes;
}

Graph::PinMap Graph::GetPins() const {
    PinMap pins;
    pins.reserve(fields->pins.size());
    for (const auto& entry : fields->pins) {
        // The graph owns its pins: these pointers share nothing.
        pins.emplace(entry.first, std::shared_ptr<Pin>(std::shared_ptr<Pin>(),
                                                       const_cast<Pin*>(&entry.second.pin)));
    }
    return pins;
}

IdentifierSet Graph::GetNodesInArbitraryOrder() const {
    IdentifierSet nodeIds;
    nodeIds.reserve(fields->nodes.size());
    for (const auto& entry : fields->nodes) {
        nodeIds.insert(entry.first);
    }
    return nodeIds;
}

std::vector<const Pin*> Graph::GetAllPins() const {
    std::vector<const Pin*> allPins;
    allPins.reserve(fields->pins.size());
    for (const auto& entry : fields->pins) {
        allPins.push_back(&entry.second.pin);
    }
    return allPins;
}

} // namespace datagraph
