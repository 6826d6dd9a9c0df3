#include <datagraph/Graph.h>

#include "Checks.h"
#include "ScopedFlagSetter.h"
#include "run/GraphSteps.h"

namespace datagraph {

void Graph::Traverse(const GUID& executionSubgraph) {
    PrivateHelper_Traverse(executionSubgraph, nullptr);
}

void Graph::Traverse() {
    Traverse(store->DefaultExecutionSubgraph());
}

void Graph::Traverse(const GUID& executionSubgraph, ITraversalObserver& observer) {
    PrivateHelper_Traverse(executionSubgraph, &observer);
}

void Graph::PrivateHelper_Traverse(const GUID& executionSubgraph, ITraversalObserver* observer) {
    CheckThat(!store->TraversalInProgress(),
              "Requested a Traverse within the Traverse of the graph.  This is often due to a "
              "node causing an extra workbook commit");

    GraphSteps steps(*this, executionSubgraph);
    ScopedFlagSetter inProgress(
        true, false, [this](bool value) { GraphStore::Of(*this).SetTraversalInProgress(value); });
    RunTraversal(steps, observer);
}

} // namespace datagraph
