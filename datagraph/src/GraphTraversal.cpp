#include <datagraph/Graph.h>
#include <datagraph/NodeExecutingGraphTraverser.h>

#include "GraphFields.h"
#include "ScopedFlagSetter.h"

namespace datagraph {

void Graph::Traverse(const GUID& executionSubgraph) {
    GraphAssert(!fields->traversalInProgress,
                "Requested a Traverse within the Traverse of the graph.  This is often due to a "
                "node causing an extra workbook commit");

    NodeExecutingGraphTraverser traverser(*this, executionSubgraph);
    ScopedFlagSetter inProgress(true, false,
                                [this](bool value) { fields->traversalInProgress = value; });
    traverser.Traverse();
}

void Graph::Traverse() {
    Traverse(fields->defaultExecutionSubgraphID);
}

} // namespace datagraph
