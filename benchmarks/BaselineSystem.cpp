// The hand-written baseline, built from the same shape and identifiers as the library.

#include "Baseline.h"
#include "HeapCounter.h"
#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <benchmark/benchmark.h>

#include <boost/uuid/random_generator.hpp>

#include <memory>

namespace bench {

namespace {

using baseline::Graph;

std::uint64_t executions = 0;

using Nodes = std::vector<std::unique_ptr<baseline::Node>>;

// The nodes are made before the clock starts, as the library's node functions are.
Nodes MakeNodes(const Workload& workload) {
    Nodes nodes;
    nodes.reserve(workload.shape.nodeCount);
    for (std::size_t node = 0; node < workload.shape.nodeCount; ++node) {
        nodes.push_back(std::make_unique<baseline::SumNode>(
            workload.ids.nodes[node], workload.ids.inputPins[node], workload.ids.outputPins[node],
            executions));
    }
    return nodes;
}

void Build(Graph& graph, const Workload& workload, Nodes nodes) {
    for (auto& node : nodes) {
        graph.AddNode(std::move(node));
    }
    const Shape& shape = workload.shape;
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            graph.Link(workload.ids.nodes[shape.upstream[node][input]], workload.ids.nodes[node],
                       input);
        }
    }
}

std::unique_ptr<Graph> BuildAndRun(const Workload& workload) {
    auto graph = std::make_unique<Graph>();
    Build(*graph, workload, MakeNodes(workload));
    graph->Run();
    return graph;
}

std::shared_ptr<Graph> SharedRun(const Workload& workload) {
    return SharedFixture<Graph>(workload, [&] { return BuildAndRun(workload); });
}

void CheckValues(const Graph& graph, const Workload& workload, const char* what) {
    for (std::size_t node = 0; node < workload.shape.nodeCount; ++node) {
        const baseline::Node* found = graph.Find(workload.ids.nodes[node]);
        Require(found != nullptr && found->output &&
                    found->output->number == workload.expected[node],
                workload, systems::baseline, std::string("wrong value after ") + what);
    }
}

std::vector<std::uint32_t> AsIndices(const std::vector<baseline::Node*>& order,
                                     const Workload& workload) {
    std::unordered_map<baseline::Uuid, std::uint32_t, boost::hash<baseline::Uuid>> index;
    for (std::uint32_t node = 0; node < workload.shape.nodeCount; ++node) {
        index.emplace(workload.ids.nodes[node], node);
    }
    std::vector<std::uint32_t> indices;
    for (const baseline::Node* node : order) {
        indices.push_back(index.at(node->id));
    }
    return indices;
}

void RecordMemory(const Workload& workload) {
    HeapMeasurement heap;
    { const auto graph = BuildAndRun(workload); }
    RecordFigure(workload.shape.name, systems::baseline, measures::memory,
                 static_cast<double>(heap.PeakBytes()) /
                     static_cast<double>(workload.shape.nodeCount));
}

void RegisterBuildAndRun(const Workload& workload) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::baseline, measures::build, [w] {
        return [w](Stopwatch& watch) {
            Nodes nodes = MakeNodes(*w);
            Graph graph;
            watch.Start();
            Build(graph, *w, std::move(nodes));
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::baseline, measures::traverse, [w] {
        const auto graph = SharedRun(*w);
        return [graph](Stopwatch& watch) {
            watch.Start();
            graph->Run();
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::baseline, measures::order, [w] {
        const auto graph = SharedRun(*w);
        return [graph](Stopwatch& watch) {
            watch.Start();
            const std::vector<baseline::Node*> order = graph->TopologicalOrder();
            watch.Stop();
            benchmark::DoNotOptimize(order.data());
        };
    });
    RegisterMeasurement(workload, systems::baseline, measures::copy, [w] {
        const auto graph = SharedRun(*w);
        return [graph](Stopwatch& watch) {
            watch.Start();
            const Graph copy(*graph);
            watch.Stop();
        };
    });
}

// What a host that keeps one generator per thread pays for an id.
baseline::Uuid NewId() {
    thread_local boost::uuids::random_generator_mt19937 generator;
    return generator();
}

// The nodes made with their ids inside the timed part, as the library's host-id build does.
void BuildWithNewIds(Graph& graph, const Shape& shape) {
    std::vector<baseline::Uuid> ids(shape.nodeCount);
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        std::vector<baseline::Uuid> inputs;
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            inputs.push_back(NewId());
        }
        ids[node] = NewId();
        graph.AddNode(
            std::make_unique<baseline::SumNode>(ids[node], std::move(inputs), NewId(), executions));
    }
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        for (std::size_t input = 0; input < shape.upstream[node].size(); ++input) {
            graph.Link(ids[shape.upstream[node][input]], ids[node], input);
        }
    }
}

void RegisterHostCosts(const Workload& workload) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::baseline, measures::buildWithIds, [w] {
        return [w](Stopwatch& watch) {
            Graph graph;
            watch.Start();
            BuildWithNewIds(graph, w->shape);
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::baseline, measures::createIds, [w] {
        return [w](Stopwatch& watch) {
            NewId(); // the generator is made and seeded outside the timer
            watch.Start();
            for (std::size_t made = 0; made < w->shape.nodeCount; ++made) {
                benchmark::DoNotOptimize(NewId());
            }
            watch.Stop();
        };
    });
}

void RegisterTeardown(const Workload& workload) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::baseline, measures::clear, [w] {
        return [w](Stopwatch& watch) {
            const auto graph = BuildAndRun(*w);
            watch.Start();
            graph->Clear();
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::baseline, measures::destructor, [w] {
        return [w](Stopwatch& watch) {
            auto graph = BuildAndRun(*w);
            watch.Start();
            graph.reset();
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::baseline, measures::destroyEach, [w] {
        return [w](Stopwatch& watch) {
            const auto graph = BuildAndRun(*w);
            watch.Start();
            for (std::uint32_t node : w->destroyOrder) {
                graph->EraseNode(w->ids.nodes[node]);
            }
            watch.Stop();
        };
    });
}

} // namespace

void CheckBaseline(const Workload& workload) {
    const std::size_t nodeCount = workload.shape.nodeCount;
    executions = 0;
    auto graph = BuildAndRun(workload);
    Require(executions == nodeCount, workload, systems::baseline, "not every node ran");
    CheckValues(*graph, workload, "a run");
    graph->Run();
    Require(executions == 2 * nodeCount, workload, systems::baseline, "not every node ran again");
    CheckValues(*graph, workload, "a second run");
    Require(IsTopologicalOrder(workload.shape, AsIndices(graph->TopologicalOrder(), workload)),
            workload, systems::baseline, "the topological order is wrong");
    Graph copy(*graph);
    copy.Run();
    CheckValues(copy, workload, "copying and running the copy");
    for (std::uint32_t node : workload.destroyOrder) {
        copy.EraseNode(workload.ids.nodes[node]);
    }
    Require(copy.Size() == 0, workload, systems::baseline, "erasing every node left some");
    CheckValues(*graph, workload, "erasing the nodes of a copy");
    RecordMemory(workload);
}

void RegisterBaseline(const Workload& workload) {
    RegisterBuildAndRun(workload);
    RegisterTeardown(workload);
    RegisterHostCosts(workload);
}

} // namespace bench
