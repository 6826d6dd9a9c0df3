#include <datagraph/Graph.h>

#include "Checks.h"
#include "ScopedFlagSetter.h"
#include "run/ChangedTraversal.h"
#include "run/GraphSteps.h"
#include "store/GraphStore.h"

namespace datagraph {
namespace {

// Traversals of this thread now running, one inside the other through ubernodes.
thread_local int nestedTraversals = 0;

class NestedTraversalScope {
public:
    NestedTraversalScope() {
        CheckThat(nestedTraversals < Graph::MaxNestedTraversals,
                  "Traversals are nested too deeply: an ubernode runs more than "
                  "Graph::MaxNestedTraversals graphs inside each other.");
        ++nestedTraversals;
    }

    NestedTraversalScope(const NestedTraversalScope&) = delete;
    NestedTraversalScope& operator=(const NestedTraversalScope&) = delete;

    ~NestedTraversalScope() { --nestedTraversals; }
};

// Runs a traversal, then tells the edit observer that it is over, however it ended: the notice
// comes once the graph no longer counts as traversing, so that the observer may edit it.
template <typename Run> void RunThenNotify(Graph& graph, const GUID& executionSubgraph, Run&& run) {
    try {
        run();
    } catch (...) {
        if (IGraphEditObserver* editObserver = GraphStore::Of(graph).EditObserver()) {
            editObserver->TraversalFinished(executionSubgraph);
        }
        throw;
    }
    if (IGraphEditObserver* editObserver = GraphStore::Of(graph).EditObserver()) {
        editObserver->TraversalFinished(executionSubgraph);
    }
}

} // namespace

void Graph::Traverse(const GUID& executionSubgraph) {
    PrivateHelper_Traverse(executionSubgraph, nullptr);
}

void Graph::Traverse() {
    Traverse(store->DefaultExecutionSubgraph());
}

void Graph::Traverse(const GUID& executionSubgraph, ITraversalObserver& observer) {
    PrivateHelper_Traverse(executionSubgraph, &observer);
}

void Graph::Traverse(ITraversalObserver& observer) {
    PrivateHelper_Traverse(store->DefaultExecutionSubgraph(), &observer);
}

void Graph::TraverseChanged(const GUID& executionSubgraph) {
    PrivateHelper_TraverseChanged(executionSubgraph, nullptr);
}

void Graph::TraverseChanged() {
    TraverseChanged(store->DefaultExecutionSubgraph());
}

void Graph::TraverseChanged(const GUID& executionSubgraph, ITraversalObserver& observer) {
    PrivateHelper_TraverseChanged(executionSubgraph, &observer);
}

void Graph::MarkChanged(const GUID& nodeId) {
    GetNode(nodeId); // raises std::out_of_range, as SetDirty does
    store->NoteNodeChanged(*store->FindNode(nodeId));
}

void Graph::PrivateHelper_TraverseChanged(const GUID& executionSubgraph,
                                          ITraversalObserver* observer) {
    CheckThat(!store->TraversalInProgress(),
              "Requested a Traverse within the Traverse of the graph.  This is often due to a "
              "node causing an extra workbook commit");

    const GUID subgraph = executionSubgraph;
    const NestedTraversalScope nesting;
    store->PlanTraversal(subgraph); // a cycle is refused here, as by Traverse, before any notice
    RunThenNotify(*this, subgraph, [&] {
        ScopedFlagSetter inProgress(true, false, [this](bool value) {
            GraphStore::Of(*this).SetTraversalInProgress(value);
        });
        RunChangedTraversal(*this, subgraph, observer);
    });
}

void Graph::PrivateHelper_Traverse(const GUID& executionSubgraph, ITraversalObserver* observer) {
    CheckThat(!store->TraversalInProgress(),
              "Requested a Traverse within the Traverse of the graph.  This is often due to a "
              "node causing an extra workbook commit");

    const GUID subgraph = executionSubgraph;
    const NestedTraversalScope nesting;
    GraphSteps steps(*this, subgraph);
    store->DropChangeLists();
    RunThenNotify(*this, subgraph, [&] {
        ScopedFlagSetter inProgress(true, false, [this](bool value) {
            GraphStore::Of(*this).SetTraversalInProgress(value);
        });
        RunTraversal(steps, observer);
    });
}

} // namespace datagraph
