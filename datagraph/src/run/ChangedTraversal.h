#pragma once

#include <datagraph/Graph.h>

#include "Hidden.h"

namespace datagraph {

/// Graph::TraverseChanged once its refusals are checked and the run is under way.
DATAGRAPH_HIDDEN void RunChangedTraversal(Graph& graph, const GUID& executionSubgraph,
                                          ITraversalObserver* observer);

} // namespace datagraph
