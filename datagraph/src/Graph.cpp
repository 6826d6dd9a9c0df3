#include <datagraph/Graph.h>

#include "GraphFields.h"

#include <stdexcept>

namespace datagraph {
namespace {

// The same text on every standard library, so that hosts can rely on it.
[[noreturn]] void ThrowInvalidKey() {
    throw std::out_of_range("invalid unordered_map<K, T> key");
}

template <typename Map> auto& CheckedLookup(Map& map, const GUID& id) {
    auto found = map.find(id);
    if (found == map.end()) {
        ThrowInvalidKey();
    }
    return *found->second;
}

} // namespace

Graph::Graph(const GUID& defaultExecutionSubgraphID)
    : fields(std::make_unique<Fields>(defaultExecutionSubgraphID)) {}

Graph::~Graph() {
    try {
        Clear();
    } catch (...) { // a destructor lets nothing out, whatever the consistency checks say
    }
}

void Graph::Clear() {
    while (!fields->nodes.empty()) {
        const GUID nodeId = fields->nodes.begin()->first;
        DestroyNode(nodeId);
    }

    GraphAssert(fields->nodes.empty(), "All nodes should have already been removed.");
    GraphAssert(fields->pins.empty(),
                "Pins should have all been removed when we removed the nodes.");
    GraphAssert(fields->executionSubgraphToNodes.empty(),
                "All nodes should have already been removed.");
    GraphAssert(fields->nodeToInputPins.IsEmpty(), "All nodes should have already been removed.");
    GraphAssert(fields->nodeToOutputPins.IsEmpty(), "All nodes should have already been removed.");
    GraphAssert(fields->pinToPinEdges.IsEmpty(), "All edges should have already been removed.");
}

bool Graph::HasNode(const GUID& nodeId) const {
    return fields->nodes.count(nodeId) != 0;
}

bool Graph::HasPin(const GUID& pinId) const {
    return fields->pins.count(pinId) != 0;
}

const Node& Graph::GetConstNode(const GUID& nodeId) const {
    return CheckedLookup(fields->nodes, nodeId);
}

Node& Graph::GetNode(const GUID& nodeId) {
    return CheckedLookup(fields->nodes, nodeId);
}

ITraversableNode& Graph::GetTraversableNode(const GUID& nodeId) {
    return GetNode(nodeId);
}

const Pin& Graph::GetConstPin(const GUID& pinId) const {
    return CheckedLookup(fields->pins, pinId);
}

Pin& Graph::GetPin(const GUID& pinId) {
    return CheckedLookup(fields->pins, pinId);
}

ITraversablePin& Graph::GetTraversablePin(const GUID& pinId) {
    return GetPin(pinId);
}

std::shared_ptr<IEditableGraph> CreateGraph(const GUID& defaultExecutionSubgraphID) {
    return std::make_shared<Graph>(defaultExecutionSubgraphID);
}

} // namespace datagraph
