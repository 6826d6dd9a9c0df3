#include "Stopwatch.h"

#include "Results.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace bench {

namespace {

double budget = 1000000;

benchmark::IterationCount IterationsFor(const Shape& shape) {
    const double elements = static_cast<double>(shape.nodeCount + shape.edges.size());
    return static_cast<benchmark::IterationCount>(
        std::clamp(std::round(budget / std::max(elements, 1.0)), 1.0, 1000.0));
}

} // namespace

void SetElementBudget(double elementBudget) {
    budget = elementBudget;
}

void RegisterMeasurement(const Workload& workload, const std::string& system,
                         const std::string& measure, std::function<Run()> prepare) {
    const Shape& shape = workload.shape;
    const std::string name = shape.name + "/" + system + "/" + measure;
    auto body = [&shape, system, measure, prepare](benchmark::State& state) {
        const Run run = prepare();
        double total = 0;
        for (auto _ : state) {
            Stopwatch watch;
            run(watch);
            state.SetIterationTime(watch.Seconds());
            total += watch.Seconds();
        }
        const double iterations = static_cast<double>(state.iterations());
        const double perNode = total * 1e9 / iterations / static_cast<double>(shape.nodeCount);
        const double perElement =
            total * 1e9 / iterations / static_cast<double>(shape.nodeCount + shape.edges.size());
        state.counters["ns/node"] = perNode;
        state.counters["ns/(n+e)"] = perElement;
        RecordFigure(shape.name, system, measure, perNode);
    };
    benchmark::RegisterBenchmark(name.c_str(), body)
        ->UseManualTime()
        ->Iterations(IterationsFor(shape))
        ->Unit(benchmark::kMillisecond);
}

} // namespace bench
