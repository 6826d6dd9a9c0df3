#include "Diagnostics.h"

#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <datagraph/Diagnostics.h>
#include <datagraph/Graph.h>

#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>
#include <utility>

namespace bench {

namespace {

// Takes the text and keeps none of it.
class DiscardingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }

    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

using Diagnose = void (*)(const datagraph::Graph&);

const std::pair<const char*, Diagnose> diagnostics[] = {
    {measures::findCycle,
     [](const datagraph::Graph& g) {
         benchmark::DoNotOptimize(datagraph::FindCycle(g).nodes.size());
     }},
    {measures::checkGraph,
     [](const datagraph::Graph& g) { benchmark::DoNotOptimize(datagraph::CheckGraph(g).size()); }},
    {measures::writeGraphviz,
     [](const datagraph::Graph& g) {
         DiscardingBuffer buffer;
         std::ostream out(&buffer);
         datagraph::WriteGraphviz(g, out);
     }},
};

using MakeGraph = std::shared_ptr<datagraph::Graph> (*)(const Workload&, const SumFunctions&);

void RegisterEach(const Workload& workload, const std::shared_ptr<const SumFunctions>& functions,
                  MakeGraph make) {
    const Workload* w = &workload;
    for (const auto& [what, diagnose] : diagnostics) {
        RegisterMeasurement(workload, systems::ours, what,
                            [w, functions, make, diagnose = diagnose] {
                                const auto graph = make(*w, *functions);
                                return [graph, diagnose](Stopwatch& watch) {
                                    watch.Start();
                                    diagnose(*graph);
                                    watch.Stop();
                                };
                            });
    }
}

// A ring cannot run: it is built only, once per repetition like the graphs that run.
std::shared_ptr<datagraph::Graph> SharedUnrunGraph(const Workload& workload,
                                                   const SumFunctions& functions) {
    return SharedFixture<datagraph::Graph>(
        workload, [&] { return BuildUnrunLibraryGraph(workload, functions); });
}

void RequireCycleOf(const datagraph::GraphCycle& cycle, const Workload& workload,
                    std::size_t nodes) {
    Require(cycle.nodes.size() == nodes && cycle.links.size() == nodes, workload, systems::ours,
            "FindCycle found a cycle of " + std::to_string(cycle.nodes.size()) + " nodes, not " +
                std::to_string(nodes));
}

} // namespace

void RegisterDiagnostics(const Workload& workload,
                         const std::shared_ptr<const SumFunctions>& functions) {
    RegisterEach(workload, functions, SharedLibraryRun);
}

Shape MakeRing(std::size_t nodeCount) {
    Shape shape = MakeChain(nodeCount);
    shape.name = "ring";
    if (nodeCount > 0) {
        const auto last = static_cast<std::uint32_t>(nodeCount - 1);
        shape.edges.push_back({last, 0});
        shape.upstream[0].push_back(last);
        shape.downstream[last].push_back(0);
    }
    return shape;
}

void CheckDiagnostics(const Workload& chain, const Workload& ring) {
    const auto chainFunctions = MakeSumFunctions(chain);
    const auto chainGraph = BuildLibraryGraph(chain, *chainFunctions);
    RequireCycleOf(datagraph::FindCycle(*chainGraph), chain, 0);
    Require(datagraph::CheckGraph(*chainGraph).empty(), chain, systems::ours,
            "CheckGraph found a problem in a chain");
    const auto ringFunctions = MakeSumFunctions(ring);
    const auto ringGraph = BuildUnrunLibraryGraph(ring, *ringFunctions);
    RequireCycleOf(datagraph::FindCycle(*ringGraph), ring, ring.shape.nodeCount);
    const auto problems = datagraph::CheckGraph(*ringGraph);
    Require(problems.size() == 1 && problems[0].kind == datagraph::GraphProblemKind::Cycle &&
                problems[0].ids.size() == ring.shape.nodeCount,
            ring, systems::ours, "CheckGraph did not report the ring's cycle alone");
}

void RegisterDiagnosticsBySize(const Workload& chain, const Workload& ring) {
    const auto chainFunctions = MakeSumFunctions(chain);
    const Workload* c = &chain;
    RegisterMeasurement(chain, systems::ours, measures::traverse, [c, chainFunctions] {
        const auto graph = SharedLibraryRun(*c, *chainFunctions);
        return [graph](Stopwatch& watch) {
            watch.Start();
            graph->Traverse();
            watch.Stop();
        };
    });
    RegisterEach(chain, chainFunctions, SharedLibraryRun);
    RegisterEach(ring, MakeSumFunctions(ring), SharedUnrunGraph);
}

} // namespace bench
