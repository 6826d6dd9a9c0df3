// TraverseChanged, the recomputation after an edit, on the library's graph: with no edit, after a
// write to one input pin of a sink (a cone of one node) and after a write to the output pin of
// the source whose downstream cone is largest. The calls are timed in batches, and the summing
// node functions count the nodes each call executes.

#include "LibraryGraph.h"
#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <datagraph/Graph.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace bench {

namespace {

using datagraph::GUID;

// A host's write of a new value object to one pin, and the nodes it makes run.
struct Write {
    GUID pin;
    std::uint64_t number;
    std::size_t cone;
};

// An input pin of the last node, in index order, that has inputs and feeds nothing: its cone is
// the node alone. The number is the one the pin holds after a run.
std::optional<Write> SinkWrite(const Workload& workload) {
    const Shape& shape = workload.shape;
    for (std::size_t node = shape.nodeCount; node-- > 0;) {
        if (!shape.upstream[node].empty() && shape.downstream[node].empty()) {
            return Write{workload.ids.inputPins[node][0],
                         workload.expected[shape.upstream[node][0]], 1};
        }
    }
    return std::nullopt;
}

// The source's node with everything downstream of it.
std::size_t ConeSize(const Shape& shape, std::uint32_t source, std::vector<std::uint32_t>& seenBy) {
    std::vector<std::uint32_t> pending{source};
    seenBy[source] = source;
    std::size_t size = 0;
    while (!pending.empty()) {
        const std::uint32_t node = pending.back();
        pending.pop_back();
        ++size;
        for (std::uint32_t next : shape.downstream[node]) {
            if (seenBy[next] != source) {
                seenBy[next] = source;
                pending.push_back(next);
            }
        }
    }
    return size;
}

// The output pin of the linked source with the largest cone (the first such in index order).
std::optional<Write> SourceWrite(const Workload& workload) {
    const Shape& shape = workload.shape;
    constexpr auto unseen = ~std::uint32_t{0};
    std::vector<std::uint32_t> seenBy(shape.nodeCount, unseen);
    std::optional<Write> largest;
    for (std::uint32_t node = 0; node < shape.nodeCount; ++node) {
        if (!shape.upstream[node].empty() || shape.downstream[node].empty()) {
            continue;
        }
        const std::size_t cone = ConeSize(shape, node, seenBy);
        if (!largest || cone > largest->cone) {
            largest = Write{workload.ids.outputPins[node], workload.expected[node], cone};
        }
    }
    return largest;
}

// Settles what the measurements before left pending (and works out the order after their
// structural edits), then sizes the batch after one call like those it will time.
std::size_t PrepareCalls(datagraph::Graph& graph, const Workload& workload,
                         const std::optional<Write>& write) {
    graph.TraverseChanged();
    const std::uint64_t before = SumExecutions();
    if (write) {
        graph.PutDataOnPin(write->pin, MakeSumValue(write->number));
    }
    graph.TraverseChanged();
    return CallsPerBatch(workload.shape, SumExecutions() - before);
}

CallBatch UneditedCalls(datagraph::Graph& graph, std::size_t calls) {
    const std::uint64_t before = SumExecutions();
    Stopwatch watch;
    watch.Start();
    for (std::size_t call = 0; call < calls; ++call) {
        graph.TraverseChanged();
    }
    watch.Stop();
    return {watch.Seconds(), calls, SumExecutions() - before};
}

// Each call follows a write of a new value object. The writes are timed on their own as well,
// with values made beforehand, and taken off: the clock is read only around whole batches.
CallBatch CallsAfterWrites(datagraph::Graph& graph, const Write& write, std::size_t calls) {
    std::vector<std::shared_ptr<const datagraph::IDataValue>> values;
    values.reserve(2 * calls);
    for (std::size_t made = 0; made < 2 * calls; ++made) {
        values.push_back(MakeSumValue(write.number));
    }
    const std::uint64_t before = SumExecutions();
    Stopwatch writesAndCalls;
    writesAndCalls.Start();
    for (std::size_t call = 0; call < calls; ++call) {
        graph.PutDataOnPin(write.pin, values[call]);
        graph.TraverseChanged();
    }
    writesAndCalls.Stop();
    const std::uint64_t executions = SumExecutions() - before;
    Stopwatch writes;
    writes.Start();
    for (std::size_t call = 0; call < calls; ++call) {
        graph.PutDataOnPin(write.pin, values[calls + call]);
    }
    writes.Stop();
    graph.TraverseChanged();
    return {writesAndCalls.Seconds() - writes.Seconds(), calls, executions};
}

void RegisterUnedited(const Workload& workload,
                      const std::shared_ptr<const SumFunctions>& functions) {
    const Workload* w = &workload;
    RegisterCallMeasurement(workload, systems::ours, measures::changedNoEdit, [w, functions] {
        const auto graph = SharedLibraryRun(*w, *functions);
        const std::size_t calls = PrepareCalls(*graph, *w, std::nullopt);
        return [graph, calls] { return UneditedCalls(*graph, calls); };
    });
}

void RegisterAfterWrite(const Workload& workload,
                        const std::shared_ptr<const SumFunctions>& functions, const char* measure,
                        const std::optional<Write>& found) {
    if (!found) {
        return;
    }
    const Workload* w = &workload;
    const Write write = *found;
    RegisterCallMeasurement(workload, systems::ours, measure, [w, functions, write] {
        const auto graph = SharedLibraryRun(*w, *functions);
        const std::size_t calls = PrepareCalls(*graph, *w, write);
        return [graph, write, calls] { return CallsAfterWrites(*graph, write, calls); };
    });
}

// A write of a number other than the one the pin holds: the nodes it reaches must run for the
// graph to hold the reference values again.
void CheckAfterWrite(datagraph::Graph& graph, const Workload& workload,
                     const std::optional<Write>& write, const char* what) {
    if (!write) {
        return;
    }
    const std::uint64_t before = SumExecutions();
    graph.PutDataOnPin(write->pin, MakeSumValue(write->number + 1));
    graph.TraverseChanged();
    Require(SumExecutions() - before >= write->cone, workload, systems::ours,
            std::string("TraverseChanged ran fewer nodes than a write to ") + what + " reaches");
    CheckLibraryValues(graph, workload, (std::string("a write to ") + what).c_str());
}

} // namespace

void CheckTraverseChanged(const Workload& workload) {
    const auto functions = MakeSumFunctions(workload);
    const auto graph = BuildLibraryGraph(workload, *functions);
    graph->TraverseChanged();
    CheckLibraryValues(*graph, workload, "TraverseChanged with no edit");
    CheckAfterWrite(*graph, workload, SinkWrite(workload), "a sink's input pin");
    CheckAfterWrite(*graph, workload, SourceWrite(workload), "a source's output pin");
    graph->TraverseChanged();
    CheckLibraryValues(*graph, workload, "TraverseChanged after the writes");
}

void RegisterTraverseChanged(const Workload& workload) {
    const auto functions = MakeSumFunctions(workload);
    RegisterUnedited(workload, functions);
    RegisterAfterWrite(workload, functions, measures::changedSink, SinkWrite(workload));
    RegisterAfterWrite(workload, functions, measures::changedSource, SourceWrite(workload));
}

void RegisterTraverseChangedFixedCost(const Workload& workload) {
    const auto functions = MakeSumFunctions(workload);
    RegisterUnedited(workload, functions);
    RegisterAfterWrite(workload, functions, measures::changedSink, SinkWrite(workload));
}

} // namespace bench
