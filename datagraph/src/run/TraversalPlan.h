#pragma once

// What the graph's own traversal decides from the structure alone before it runs a node: the
// topological order of the records and each node's role in a run over one execution subgraph.
// The store caches both for the structure they were made from.

#include "store/GraphStore.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace datagraph {

/// Every node, each after its input nodes, as the structure stood at `version`.
struct GraphStore::Order {
    std::uint64_t version = 0;
    std::vector<const NodeRecord*> records;
    IdentifierList ids;
};

/// What a traversal of one subgraph does with each node of the order.
enum class TraversalRole : std::uint8_t { OutsideSubgraph, Unconnected, RunsOnceInputsAreReady };

struct GraphStore::TraversalPlan {
    std::shared_ptr<const Order> order;
    GUID executionSubgraph;
    std::vector<TraversalRole> roles;
};

} // namespace datagraph
