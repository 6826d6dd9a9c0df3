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
    if (f.subgraphEntriesOfAbsentNodes.empty()) { // every entry names a node
        f.subgraphs.clear();
    } else {
        f.nodes.ForEach([&f](Fields::NodeRecord& node) { f.UnlinkSubgraphEntries(node); });
    }
    {
        // The graph is empty and consistent before any host destructor runs.
        RecordTable<Fields::NodeRecord> doomedNodes;
        RecordTable<Fields::PinRecord> doomedPins;
        doomedNodes.Swap(f.nodes);
        doomedPins.Swap(f.pins);
        f.oddLinks = 0;
        if (f.liveLinks) {
            f.liveLinks->clear();
        }
        ++f.structureVersion;
        doomedPins.Clear();
        doomedNodes.Clear();
    }

    GraphAssert(f.nodes.Empty(), "All nodes should have already been removed.");
    GraphAssert(f.pins.Empty(), "Pins should have all been removed when we removed the nodes.");
    GraphAssert(f.subgraphs.empty(), "All nodes should have already been removed.");
    GraphAssert(!f.liveLinks || f.liveLinks->empty(),
                "All edges should have already been removed.");
}

bool Graph::HasNode(const GUID& nodeId) const {
    return fields->nodes.Find(nodeId) != nullptr;
}

bool Graph::HasPin(const GUID& pinId) const {
    return fields->pins.Find(pinId) != nullptr;
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
