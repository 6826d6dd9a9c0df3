#pragma once

// The figures gathered in this run, and the table that compares them. Each benchmark body records
// its per-node time once per repetition; the table takes the median of the repetitions, so every
// ratio compares figures measured in the same process.

#include <cstddef>
#include <iosfwd>
#include <string>

namespace bench {

struct Shape;

namespace systems {
inline const char* const ours = "ours";
inline const char* const baseline = "baseline";
inline const char* const tbb = "tbb";
inline const char* const bgl = "bgl";
// The library with node functions made by MakeFunctionNode instead of written by hand.
inline const char* const helpers = "helpers";
} // namespace systems

namespace measures {
inline const char* const build = "Build";
// The same build with an edit observer attached that counts what it hears.
inline const char* const buildObserved = "BuildObserved";
// The same build with an edit history attached: inside one transaction, so one step, as a host
// reading a graph from a file makes it; and with each call a step of its own, as an interactive
// host's edits are.
inline const char* const buildHistory = "BuildHistory";
inline const char* const buildHistorySteps = "BuildHistorySteps";
inline const char* const schemaCalls = "SchemaCalls";
inline const char* const traverse = "Traverse";
inline const char* const traverseAfterEdit = "TraverseAfterEdit";
inline const char* const order = "TopologicalOrder";
inline const char* const copy = "Copy";
inline const char* const clear = "Clear";
inline const char* const destructor = "Destructor";
inline const char* const destroyEach = "DestroyEachNode";
// 1,000 nodes of the graph deleted in one step with a history attached, that step undone and
// redone, and the same deletion without a history: per node deleted.
inline const char* const delete1000 = "Delete1000";
inline const char* const undoDelete = "UndoDelete";
inline const char* const redoDelete = "RedoDelete";
inline const char* const delete1000NoHistory = "Delete1000NoHist";
inline const char* const memory = "Memory";
// The peak of Memory split by who allocated each block held at that moment.
inline const char* const memoryLibrary = "MemoryLibrary";
inline const char* const memoryHost = "MemoryHost";
} // namespace measures

// Recomputing after an edit, per call: TraverseChanged with no edit since the last run, after a
// host's write to one input pin of a sink and after one to the output pin of the source with the
// largest cone. Each also has "<measure>Runs", the nodes executed per call.
namespace measures {
inline const char* const changedNoEdit = "ChangedNoEdit";
inline const char* const changedSink = "ChangedSink";
inline const char* const changedSource = "ChangedSource";
} // namespace measures

// What a host pays besides: ids made inside the timed build, the ids alone, the diagnostics.
namespace measures {
inline const char* const buildWithIds = "BuildWithIds";
inline const char* const createIds = "CreateGUID";
inline const char* const findCycle = "FindCycle";
inline const char* const checkGraph = "CheckGraph";
inline const char* const writeGraphviz = "WriteGraphviz";
} // namespace measures

/// Registers a graph, in the order the table lists graphs.
void RecordGraph(const Shape& shape);

/// Registers a graph measured only for the fixed cost of TraverseChanged, listed after the
/// tables in one comparison across sizes; the first such graph is the one the others are held to.
void RecordFixedCostGraph(const Shape& shape);

/// Registers a chain and the ring made of it (its last node feeding its first), measured for the
/// diagnostics against graph size and listed after the tables; the first pair is the one the
/// others are held to.
void RecordDiagnosticsSizes(const Shape& chain, const Shape& ring);

/// Nanoseconds per node for a time (per node deleted for the deletion's), bytes per node for
/// memory; for the measures of TraverseChanged, nanoseconds per call and nodes executed per call.
void RecordFigure(const std::string& graph, const std::string& system, const std::string& what,
                  double perNode);

/// The per-graph comparison table, with which targets are met.
void PrintTable(std::ostream& out);

} // namespace bench
