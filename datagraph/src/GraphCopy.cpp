#include <datagraph/Graph.h>

#include "GraphFields.h"

namespace datagraph {

std::unique_ptr<Graph::Fields> Graph::Fields::DeepCopy(Graph& owner) const {
    const Fields& source = *this;
    auto copy = std::make_unique<Fields>(source.defaultExecutionSubgraphID);
    copy->executionSubgraphToNodes = source.executionSubgraphToNodes;
    for (auto entry = copy->executionSubgraphToNodes.begin();
         entry != copy->executionSubgraphToNodes.end(); ++entry) {
        copy->subgraphEntriesOfNode[entry->second].push_back(entry);
    }
    copy->nodeToInputPins = source.nodeToInputPins;
    copy->nodeToOutputPins = source.nodeToOutputPins;
    copy->pinToPinEdges = source.pinToPinEdges;
    copy->traversalInProgress = false;

    const NodeMap sourceNodes = source.nodes; // a node function's Clone() may edit the source
    copy->nodes.reserve(sourceNodes.size());
    for (const auto& [nodeId, node] : sourceNodes) {
        copy->nodes.emplace(nodeId, std::make_shared<Node>(owner, *node));
    }
    const PinMap sourcePins = source.pins;
    copy->pins.reserve(sourcePins.size());
    for (const auto& [pinId, pin] : sourcePins) {
        copy->pins.emplace(pinId, std::make_shared<Pin>(*pin));
    }
    return copy;
}

Graph::Graph(const Graph& other)
    : IEditableGraph(other)
    , ITraversableGraph(other)
    , fields(other.fields->DeepCopy(*this)) {}

Graph& Graph::operator=(const Graph& other) {
    if (this == &other) {
        return *this;
    }
    std::unique_ptr<Fields> copy = other.fields->DeepCopy(*this);
    // The previous records are released without Clear: an old node or pin lives on only while
    // somebody else holds it.
    std::swap(fields, copy);
    return *this;
}

} // namespace datagraph
