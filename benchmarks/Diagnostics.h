#pragma once

// The diagnostics (FindCycle, CheckGraph, WriteGraphviz) on the library's graph: on every graph of
// the suite, and on chains and rings of growing size against a Traverse of the chain, to show
// that each takes time linear in nodes plus links.

#include "LibraryGraph.h"
#include "Shapes.h"

#include <memory>

namespace bench {

/// The three diagnostics on the graph built and run once, as a host calls them.
void RegisterDiagnostics(const Workload& workload,
                         const std::shared_ptr<const SumFunctions>& functions);

/// The chain of `nodeCount` nodes with one more edge, from its last node to its first: a graph
/// that is one long cycle, which a traversal refuses and FindCycle must walk whole.
Shape MakeRing(std::size_t nodeCount);

/// That FindCycle finds the whole ring and nothing in the chain, and that CheckGraph reports the
/// ring's cycle and nothing of the chain.
void CheckDiagnostics(const Workload& chain, const Workload& ring);

/// Traverse and the diagnostics on the chain, the diagnostics on the ring (built, never run).
void RegisterDiagnosticsBySize(const Workload& chain, const Workload& ring);

} // namespace bench
