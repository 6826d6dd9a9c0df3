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
    nodes.reserve(fields->nodes.Size());
    fields->nodes.ForEach(
        [&nodes](const Fields::NodeRecord& node) { nodes.emplace(node.id, node.node); });
    return nodes;
}

Graph::PinMap Graph::GetPins() const {
    PinMap pins;
    pins.reserve(fields->pins.Size());
    fields->pins.ForEach([&pins](Fields::PinRecord& pin) {
        // The graph owns its pins: these pointers share nothing.
        pins.emplace(pin.pin.GetId(), std::shared_ptr<Pin>(std::shared_ptr<Pin>(), &pin.pin));
    });
    return pins;
}

IdentifierSet Graph::GetNodesInArbitraryOrder() const {
    IdentifierSet nodeIds;
    nodeIds.reserve(fields->nodes.Size());
    fields->nodes.ForEach([&nodeIds](const Fields::NodeRecord& node) { nodeIds.insert(node.id); });
    return nodeIds;
}

std::vector<const Pin*> Graph::GetAllPins() const {
    std::vector<const Pin*> allPins;
    allPins.reserve(fields->pins.Size());
    fields->pins.ForEach([&allPins](const Fields::PinRecord& pin) { allPins.push_back(&pin.pin); });
    return allPins;
}

} // namespace datagraph
