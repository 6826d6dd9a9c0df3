#include <datagraph/Graph.h>

#include "Checks.h"
#include "history/HistoryLog.h"
#include "store/GraphStore.h"

#include <stdexcept>

namespace datagraph {
namespace {

// The same text on every standard library, so that hosts can rely on it.
[[noreturn]] void ThrowInvalidKey() {
    throw std::out_of_range("invalid unordered_map<K, T> key");
}

template <typename Record> Record& OrThrowInvalidKey(Record* record) {
    if (record == nullptr) {
        ThrowInvalidKey();
    }
    return *record;
}

} // namespace

Graph::Graph(const GUID& defaultExecutionSubgraphID)
    : store(std::make_unique<GraphStore>(defaultExecutionSubgraphID)) {}

Graph::~Graph() {
    store->SetEditObserver(nullptr); // a graph going away is no edit
    if (EditHistory::Impl* history = store->History()) {
        store->SetHistory(nullptr);
        history->GraphGone(); // before the records it may hold pins of go
    }
    // Only the release of the records: Clear's checks could only throw, and a graph that keeps
    // execution-subgraph entries of absent nodes would pay for an exception at every destruction.
    try {
        store->Clear();
    } catch (...) { // host code run by the release (a destructor) lets nothing out either
    }
}

void Graph::Clear() {
    EditHistory::Impl* history =
        store->NodeCount() != 0 ? EditHistory::Impl::ForStructuralEdit(*store) : nullptr;
    if (history != nullptr) {
        ApplyRecorded(*store, *history, GraphStore::Toggles::Clear{});
    } else {
        store->Clear();
    }

    CheckThat(store->NodeCount() == 0, "All nodes should have already been removed.");
    CheckThat(store->PinCount() == 0,
              "Pins should have all been removed when we removed the nodes.");
    CheckThat(store->Subgraphs().empty(), "All nodes should have already been removed.");
    CheckThat(store->LiveLinksIfMade() == nullptr || store->LiveLinksIfMade()->empty(),
              "All edges should have already been removed.");
    if (IGraphEditObserver* observer = store->EditObserver()) {
        observer->GraphCleared();
    }
}

void Graph::SetEditObserver(IGraphEditObserver* observer) {
    store->SetEditObserver(observer);
}

bool Graph::HasNode(const GUID& nodeId) const {
    return store->FindNode(nodeId) != nullptr;
}

bool Graph::HasPin(const GUID& pinId) const {
    return store->FindPin(pinId) != nullptr;
}

const Node& Graph::GetConstNode(const GUID& nodeId) const {
    return OrThrowInvalidKey(store->FindNode(nodeId)).Object();
}

Node& Graph::GetNode(const GUID& nodeId) {
    return OrThrowInvalidKey(store->FindNode(nodeId)).Object();
}

ITraversableNode& Graph::GetTraversableNode(const GUID& nodeId) {
    return GetNode(nodeId);
}

const Pin& Graph::GetConstPin(const GUID& pinId) const {
    return OrThrowInvalidKey(store->FindPin(pinId)).Object();
}

Pin& Graph::GetPin(const GUID& pinId) {
    return OrThrowInvalidKey(store->FindPin(pinId)).Object();
}

ITraversablePin& Graph::GetTraversablePin(const GUID& pinId) {
    return GetPin(pinId);
}

std::shared_ptr<IEditableGraph> CreateGraph(const GUID& defaultExecutionSubgraphID) {
    return std::make_shared<Graph>(defaultExecutionSubgraphID);
}

} // namespace datagraph
