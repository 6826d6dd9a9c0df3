#include <datagraph/Graph.h>
#include <datagraph/NodeExecutingGraphTraverser.h>

#include "GraphFields.h"
#include "ScopedFlagSetter.h"

namespace datagraph {

void Graph::Traverse(const GUID& executionSubgraph) {
    PrivateHelper_Traverse(executionSubgraph, nullptr);
}

void Graph::Traverse() {
    Traverse(fields->defaultExecutionSubgraphID);
}

void Graph::Traverse(const GUID& executionSubgraph, ITraversalObserver& observer) {
    PrivateHelper_Traverse(executionSubgraph, &observer);
}

void Graph::PrivateHelper_Traverse(const GUID& executionSubgraph, ITraversalObserver* observer) {
    GraphAssert(!fields->traversalInProgress,
                "Requested a Traverse within the Traverse of the graph.  This is often due to a "
                "node causing an extra workbook commit");

    NodeExecutingGraphTraverser traverser(*this, executionSubgraph, observer);
    ScopedFlagSetter inProgress(true, false,
                                [this](bool value) { fields->traversalInProgress = value; });
    traverser.Traverse();
}

} // namespace datagraph
