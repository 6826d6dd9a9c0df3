#pragma once

// The invariants of the graph store, checked through the public queries alone: node keys are the
// nodes' own ids, every pin has exactly one owning node of the graph and vice versa, the link table
// names only pins of the graph and gives each input pin one upstream pin, and every node stands
// in at least one execution subgraph.

#include <datagraph/Graph.h>

#include <string>

namespace datagraph::reliability {

/// A description of the first invariant that does not hold, or an empty string. The graph's own
/// store is asked first (FindStoreViolation).
std::string FindInvariantViolation(const Graph& graph);

/// The message of the graph store's own consistency check, naming the invariant it found broken,
/// or an empty string. It costs about one walk over the records.
std::string FindStoreViolation(const Graph& graph);

} // namespace datagraph::reliability
