#pragma once

// Registration of one measurement: the body times only its own critical region, so that setup
// (building the graph to be cleared) and teardown stay out of the figure.

#include "Shapes.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

namespace bench {

/// Counts the calling thread's processor time (user and system), not wall time: the machines
/// this runs on are shared, and time spent descheduled says nothing about the code. Every system
/// measured runs on the calling thread.
class Stopwatch {
public:
    void Start() { started = Now(); }

    void Stop() { elapsed += Now() - started; }

    double Seconds() const { return elapsed; }

private:
    static double Now() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }

    double started = 0;
    double elapsed = 0;
};

/// How many times each benchmark body runs per repetition on a workload: enough for about
/// `elementBudget` nodes plus edges, at least once.
void SetElementBudget(double elementBudget);

/// One iteration: it starts and stops the stopwatch around what it measures.
using Run = std::function<void(Stopwatch&)>;

/// Registers "<graph>/<system>/<measure>". `prepare` is called once per repetition, untimed, and
/// gives the iteration to repeat; whatever that captures (a built graph) goes when the repetition
/// ends.
void RegisterMeasurement(const Workload& workload, const std::string& system,
                         const std::string& measure, std::function<Run()> prepare);

/// The same, for an iteration that handles `units` things (the nodes a deletion takes out)
/// instead of the whole graph: records nanoseconds per unit, and sets the iteration count for
/// about the element budget, counting each unit as the graph's elements per node.
void RegisterMeasurement(const Workload& workload, const std::string& system,
                         const std::string& measure, std::function<Run()> prepare,
                         std::size_t units);

/// What one batch of a per-call measurement timed: `calls` calls that took `seconds` between
/// them and executed `executions` nodes.
struct CallBatch {
    double seconds = 0;
    std::uint64_t calls = 0;
    std::uint64_t executions = 0;
};

/// How many calls one batch makes on the workload, each executing about `executionsPerCall`
/// nodes: enough for about the element budget, from 1 to 10000.
std::size_t CallsPerBatch(const Shape& shape, std::uint64_t executionsPerCall);

/// Registers "<graph>/<system>/<measure>" for a call much shorter than a reading of the thread's
/// clock (which costs microseconds on some machines): each iteration runs one batch of many calls
/// and times them together. `prepare` is called once per repetition, untimed, and gives the
/// batch. Records nanoseconds per call under `measure` and nodes executed per call under
/// `measure` + "Runs".
void RegisterCallMeasurement(const Workload& workload, const std::string& system,
                             const std::string& measure,
                             std::function<std::function<CallBatch()>()> prepare);

/// The most recently made fixture of type T, kept while measurements on one workload follow each
/// other, so that running, ordering and copying share one built graph instead of building it
/// again for each measurement. The previous fixture goes before a new one is made.
template <typename T>
std::shared_ptr<T> SharedFixture(const Workload& workload,
                                 const std::function<std::shared_ptr<T>()>& make) {
    static const Workload* owner = nullptr;
    static std::shared_ptr<T> kept;
    if (owner != &workload || kept == nullptr) {
        kept.reset();
        kept = make();
        owner = &workload;
    }
    return kept;
}

} // namespace bench
