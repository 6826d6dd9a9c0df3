#pragma once

// The library's graph as the measurements build it (one summing node function per node, int64
// values on the pins), for the measurements kept outside Library.cpp.

#include "Shapes.h"

#include <datagraph/Graph.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace bench {

using SumFunctions = std::vector<std::shared_ptr<datagraph::INodeFunction>>;

/// One node function per node of the workload; each execution makes a new value object.
std::shared_ptr<const SumFunctions> MakeSumFunctions(const Workload& workload);

/// The graph built from `functions` and run once, for the caller alone.
std::unique_ptr<datagraph::Graph> BuildLibraryGraph(const Workload& workload,
                                                    const SumFunctions& functions);

/// The graph built from `functions` and never run (a graph with a cycle cannot run).
std::unique_ptr<datagraph::Graph> BuildUnrunLibraryGraph(const Workload& workload,
                                                         const SumFunctions& functions);

/// The graph built from `functions` and run once, shared with the other measurements of the
/// workload while they follow each other.
std::shared_ptr<datagraph::Graph> SharedLibraryRun(const Workload& workload,
                                                   const SumFunctions& functions);

/// A new value of the type the summing nodes take and give.
std::shared_ptr<const datagraph::IDataValue> MakeSumValue(std::uint64_t number);

/// How many times the summing node functions have executed, in any graph.
std::uint64_t SumExecutions();

/// Throws unless every linked node's output holds the reference value.
void CheckLibraryValues(const datagraph::Graph& graph, const Workload& workload, const char* what);

} // namespace bench
