#pragma once

// The systems under measurement. For each, Check builds the workload, runs it and compares what
// it computes with the reference values (throwing std::runtime_error on any difference), and
// records the system's heap bytes per node; Register adds its measurements to the suite.

#include "Shapes.h"

namespace bench {

void CheckLibrary(const Workload& workload);
void RegisterLibrary(const Workload& workload);

/// The library with node functions made by MakeFunctionNode; registers its Traverse only.
void RegisterFunctionNodes(const Workload& workload);

/// TraverseChanged on the library's graph: computes the reference values after no edit and after
/// the writes that the measurements make, running at least the nodes each write reaches.
void CheckTraverseChanged(const Workload& workload);
/// TraverseChanged per call after no edit, after a write to a sink's input pin and after a write
/// to the output pin of the source with the largest downstream cone.
void RegisterTraverseChanged(const Workload& workload);
/// Only the calls that execute no node or one: the fixed cost of TraverseChanged.
void RegisterTraverseChangedFixedCost(const Workload& workload);

void CheckBaseline(const Workload& workload);
void RegisterBaseline(const Workload& workload);

void CheckTbbFlow(const Workload& workload);
void RegisterTbbFlow(const Workload& workload);

void CheckBoostGraph(const Workload& workload);
void RegisterBoostGraph(const Workload& workload);

/// Throws std::runtime_error "<graph>: <system>: <what>" unless `condition` holds.
void Require(bool condition, const Workload& workload, const char* system, const std::string& what);

} // namespace bench
