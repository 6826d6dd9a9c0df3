#include <datagraph/Node.h>

#include <datagraph/Graph.h>

#include "Checks.h"
#include "history/HistoryLog.h"
#include "run/NodeRun.h"
#include "store/GraphStore.h"

namespace datagraph {

Node::Node(Graph& graph, std::shared_ptr<INodeFunction> function)
    : function(std::move(function))
    , dirty(false)
    , disabled(false)
    , graph(graph) {
    CheckThat(this->function != nullptr, "Node functions cannot be null");
}

Node::Node(Graph& graph, const Node& other)
    : ITraversableNode(other)
    , function(other.function->Clone())
    , dirty(other.dirty)
    , disabled(other.disabled)
    , graph(graph) {
    CheckThat(function != nullptr, "Node functions cannot be null");
}

Node::Node(const Node& other) = default;

Node::~Node() = default;

GUID Node::GetId() const {
    return function->GetId();
}

const INodeFunction& Node::GetNodeFunction() const {
    return *function;
}

bool Node::GetDirty() const {
    return dirty;
}

bool Node::GetDisabled() const {
    return disabled;
}

namespace {

// The edit observer of the node's graph, when there is one and the node is that graph's own
// (not a copy outside it, nor one that has left it).
IGraphEditObserver* ObserverOfOwnNode(Graph& graph, const Node& node, const GUID& nodeId) {
    const GraphStore& store = GraphStore::Of(graph);
    const GraphStore::NodeRecord* record = store.FindNode(nodeId);
    return record != nullptr && record->SharedObject().get() == &node ? store.EditObserver()
                                                                      : nullptr;
}

} // namespace

void Node::SetDisabled(bool value) {
    if (EditHistory::Impl* history = GraphStore::Of(graph).History()) {
        GraphStore::Toggles::SetFlag(*history, *this, true, value);
    } else {
        disabled = value;
    }
    if (GraphStore::Of(graph).EditObserver() != nullptr) {
        const GUID nodeId = function->GetId();
        if (IGraphEditObserver* observer = ObserverOfOwnNode(graph, *this, nodeId)) {
            observer->NodeDisabledSet(nodeId, value);
        }
    }
}

void Node::SetDirty(bool value) {
    if (EditHistory::Impl* history = GraphStore::Of(graph).History()) {
        GraphStore::Toggles::SetFlag(*history, *this, false, value);
    } else {
        dirty = value;
    }
    if (GraphStore::Of(graph).EditObserver() != nullptr) {
        const GUID nodeId = function->GetId();
        if (IGraphEditObserver* observer = ObserverOfOwnNode(graph, *this, nodeId)) {
            observer->NodeDirtySet(nodeId, value);
        }
    }
}

IdentifierSet Node::GetInputPins() const {
    return graph.GetInputPins(GetId());
}

IdentifierSet Node::GetOutputPins() const {
    return graph.GetOutputPins(GetId());
}

std::string Node::GetNodeName() {
    return function->GetName();
}

std::string Node::GetNodeDescription() {
    return function->GetDescription();
}

std::string Node::GetPinName(const GUID& pinId) {
    return function->GetInputOrOutputName(pinId);
}

std::string Node::GetPinDescription(const GUID& pinId) {
    return function->GetInputOrOutputDescription(pinId);
}

void Node::Execute() {
    // Only a graph's own traversal leaves a node up to date.
    GraphStore& store = GraphStore::Of(graph);
    if (GraphStore::NodeRecord* record = store.FindNode(function->GetId())) {
        store.NoteNodeChanged(*record);
    }
    // The function may destroy this very node while it runs: the run holds what it needs, and
    // the notice asks the graph afresh for its observer.
    if (store.EditObserver() == nullptr || store.TraversalInProgress()) {
        RunNodeFunction(graph, function, nullptr);
        return;
    }
    Graph& owner = graph;
    const GUID nodeId = function->GetId();
    auto notify = [&owner, &nodeId] {
        const GraphStore& current = GraphStore::Of(owner);
        if (IGraphEditObserver* observer = current.EditObserver()) {
            if (!current.TraversalInProgress()) {
                observer->NodeExecuted(nodeId);
            }
        }
    };
    try {
        RunNodeFunction(owner, function, nullptr);
    } catch (...) {
        notify();
        throw;
    }
    notify();
}

} // namespace datagraph
