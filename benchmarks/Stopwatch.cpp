#include "Stopwatch.h"

#include "Results.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace bench {

namespace {

double budget = 1000000;

// Iterations for about the budget, each handling `units` nodes with their share of the edges.
benchmark::IterationCount IterationsFor(const Shape& shape, std::size_t units) {
    const double elementsPerNode = static_cast<double>(shape.nodeCount + shape.edges.size()) /
                                   static_cast<double>(std::max<std::size_t>(shape.nodeCount, 1));
    const double elements = static_cast<double>(units) * elementsPerNode;
    return static_cast<benchmark::IterationCount>(
        std::clamp(std::round(budget / std::max(elements, 1.0)), 1.0, 1000.0));
}

} // namespace

void SetElementBudget(double elementBudget) {
    budget = elementBudget;
}

void RegisterMeasurement(const Workload& workload, const std::string& system,
                         const std::string& measure, std::function<Run()> prepare) {
    RegisterMeasurement(workload, system, measure, std::move(prepare), workload.shape.nodeCount);
}

void RegisterMeasurement(const Workload& workload, const std::string& system,
                         const std::string& measure, std::function<Run()> prepare,
                         std::size_t units) {
    const Shape& shape = workload.shape;
    const std::string name = shape.name + "/" + system + "/" + measure;
    auto body = [&shape, system, measure, prepare, units](benchmark::State& state) {
        const Run run = prepare();
        double total = 0;
        for (auto _ : state) {
            Stopwatch watch;
            run(watch);
            state.SetIterationTime(watch.Seconds());
            total += watch.Seconds();
        }
        const double iterations = static_cast<double>(state.iterations());
        const double perUnit =
            total * 1e9 / iterations / static_cast<double>(std::max<std::size_t>(units, 1));
        if (units == shape.nodeCount) {
            state.counters["ns/node"] = perUnit;
            state.counters["ns/(n+e)"] = total * 1e9 / iterations /
                                         static_cast<double>(shape.nodeCount + shape.edges.size());
        } else {
            state.counters["ns/unit"] = perUnit;
        }
        RecordFigure(shape.name, system, measure, perUnit);
    };
    benchmark::RegisterBenchmark(name.c_str(), body)
        ->UseManualTime()
        ->Iterations(IterationsFor(shape, units))
        ->Unit(benchmark::kMillisecond);
}

std::size_t CallsPerBatch(const Shape& shape, std::uint64_t executionsPerCall) {
    // A call's own work counted as some elements more than those of the nodes it executes.
    constexpr double fixedElements = 300;
    const double elementsPerNode = static_cast<double>(shape.nodeCount + shape.edges.size()) /
                                   static_cast<double>(std::max<std::size_t>(shape.nodeCount, 1));
    const double elements =
        static_cast<double>(executionsPerCall) * elementsPerNode + fixedElements;
    return static_cast<std::size_t>(std::clamp(std::round(budget / elements), 1.0, 10000.0));
}

void RegisterCallMeasurement(const Workload& workload, const std::string& system,
                             const std::string& measure,
                             std::function<std::function<CallBatch()>()> prepare) {
    const Shape& shape = workload.shape;
    const std::string name = shape.name + "/" + system + "/" + measure;
    auto body = [&shape, system, measure, prepare](benchmark::State& state) {
        const std::function<CallBatch()> batch = prepare();
        CallBatch total;
        for (auto _ : state) {
            const CallBatch figures = batch();
            state.SetIterationTime(std::max(figures.seconds, 0.0));
            total.seconds += figures.seconds;
            total.calls += figures.calls;
            total.executions += figures.executions;
        }
        const double calls = static_cast<double>(std::max<std::uint64_t>(total.calls, 1));
        const double perCall = total.seconds * 1e9 / calls;
        const double runs = static_cast<double>(total.executions) / calls;
        state.counters["ns/call"] = perCall;
        state.counters["runs/call"] = runs;
        RecordFigure(shape.name, system, measure, perCall);
        RecordFigure(shape.name, system, measure + "Runs", runs);
    };
    benchmark::RegisterBenchmark(name.c_str(), body)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMicrosecond);
}

} // namespace bench
