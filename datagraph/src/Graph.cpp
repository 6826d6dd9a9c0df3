#include <datagraph/Graph.h>

#include "GraphFields.h"

#include <stdexcept>

namespace datagraph {
namespace {

// The same text on every standard library, so that hosts can rely on it.
[[noreturn]] void ThrowInvalidKey() {
    throw std::out_of_range("invalid unordered_map<K, T> key");
}

template <typename Record> Record& Found(Record* record) {
    if (record == nullptr) {
        ThrowInvalidKey();
    }
    return *record;
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
    Fields& f = *fields;
    for (const auto& entry : f.nodes) {
        for (auto subgraphEntry : entry.second.subgraphEntries) {
            f.executionSubgraphToNodes.erase(subgraphEntry);
        }
    }
    {
        // The graph is empty and consistent before any host destructor runs.
        decltype(f.nodes) doomedNodes(&f.recordMemory);
        decltype(f.pins) doomedPins(&f.recordMemory);
        doomedNodes.swap(f.nodes);
        doomedPins.swap(f.pins);
        if (f.liveLinks) {
            f.liveLinks->clear();
        }
        ++f.structureVersion;
        doomedPins.clear();
        doomedNodes.clear();
    }
    // Unless a host destructor made something anew, nothing lives in the record pools any more,
    // once the tables have let go of their bucket arrays: the memory goes back.
    if (f.nodes.empty() && f.pins.empty() && f.executionSubgraphToNodes.empty()) {
        decltype(f.nodes)(&f.recordMemory).swap(f.nodes);
        decltype(f.pins)(&f.recordMemory).swap(f.pins);
        f.recordMemory.release();
    }

    GraphAssert(f.nodes.empty(), "All nodes should have already been removed.");
    GraphAssert(f.pins.empty(), "Pins should have all been removed when we removed the nodes.");
    GraphAssert(f.executionSubgraphToNodes.empty(), "All nodes should have already been removed.");
    GraphAssert(!f.liveLinks || f.liveLinks->empty(),
                "All edges should have already been removed.");
}

bool Graph::HasNode(const GUID& nodeId) const {
    return fields->nodes.count(nodeId) != 0;
}

bool Graph::HasPin(const GUID& pinId) const {
    return fields->pins.count(pinId) != 0;
}

const Node& Graph::GetConstNode(const GUID& nodeId) const {
    return *Found(fields->FindNode(nodeId)).node;
}

Node& Graph::GetNode(const GUID& nodeId) {
    return *Found(fields->FindNode(nodeId)).node;
}

ITraversableNode& Graph::GetTraversableNode(const GUID& nodeId) {
    return GetNode(nodeId);
}

const Pin& Graph::GetConstPin(const GUID& pinId) const {
    return Found(fields->FindPin(pinId)).pin;
}

Pin& Graph::GetPin(const GUID& pinId) {
    return Found(fields->FindPin(pinId)).pin;
}

ITraversablePin& Graph::GetTraversablePin(const GUID& pinId) {
    return GetPin(pinId);
}

std::shared_ptr<IEditableGraph> CreateGraph(const GUID& defaultExecutionSubgraphID) {
    return std::make_shared<Graph>(defaultExecutionSubgraphID);
}

} // namespace datagraph
