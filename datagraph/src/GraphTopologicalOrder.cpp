#include <datagraph/Graph.h>

#include "run/TraversalPlan.h"

namespace datagraph {

IdentifierList Graph::GetNodesInTopologicalOrder() const {
    return store->TopologicalOrder()->ids;
}

} // namespace datagraph
