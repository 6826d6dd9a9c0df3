// Boost.Graph's topological sort on an adjacency list of the same shape: the floor for what
// ordering the nodes can cost.

#include "HeapCounter.h"
#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/topological_sort.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace bench {

namespace {

using AdjacencyList = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS>;
using Vertex = AdjacencyList::vertex_descriptor;

std::unique_ptr<AdjacencyList> Build(const Shape& shape) {
    auto graph = std::make_unique<AdjacencyList>(shape.nodeCount);
    for (const Edge& edge : shape.edges) {
        boost::add_edge(edge.from, edge.to, *graph);
    }
    return graph;
}

void Order(const AdjacencyList& graph, std::vector<Vertex>& order) {
    order.clear();
    boost::topological_sort(graph, std::back_inserter(order));
}

} // namespace

void CheckBoostGraph(const Workload& workload) {
    const auto graph = Build(workload.shape);
    std::vector<Vertex> order;
    Order(*graph, order);
    // The sort hands out vertices last first.
    std::vector<std::uint32_t> forward(order.rbegin(), order.rend());
    Require(IsTopologicalOrder(workload.shape, forward), workload, systems::bgl,
            "the topological order is wrong");
    HeapMeasurement heap;
    { const auto measured = Build(workload.shape); }
    RecordFigure(workload.shape.name, systems::bgl, measures::memory,
                 static_cast<double>(heap.PeakBytes()) /
                     static_cast<double>(workload.shape.nodeCount));
}

void RegisterBoostGraph(const Workload& workload) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::bgl, measures::build, [w] {
        return [w](Stopwatch& watch) {
            watch.Start();
            const auto graph = Build(w->shape);
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::bgl, measures::order, [w] {
        std::shared_ptr<const AdjacencyList> graph = Build(w->shape);
        auto order = std::make_shared<std::vector<Vertex>>();
        order->reserve(w->shape.nodeCount);
        return [graph, order](Stopwatch& watch) {
            watch.Start();
            Order(*graph, *order);
            watch.Stop();
            benchmark::DoNotOptimize(order->data());
        };
    });
}

} // namespace bench
