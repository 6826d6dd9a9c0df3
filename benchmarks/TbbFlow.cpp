// oneTBB's flow graph on one thread: a continue_node per node that sums its inputs from a plain
// array, so it passes no maps. A run puts a message into every source and waits for the graph.

#include "HeapCounter.h"
#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <tbb/flow_graph.h>
#include <tbb/global_control.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace bench {

namespace {

std::uint64_t executions = 0;

class FlowGraph {
public:
    explicit FlowGraph(const Shape& shape)
        : shape(shape)
        , values(shape.nodeCount, 0) {
        nodes.reserve(shape.nodeCount);
        for (std::uint32_t node = 0; node < shape.nodeCount; ++node) {
            nodes.push_back(std::make_unique<Node>(graph, [this, node](const Message&) {
                Compute(node);
                return Message();
            }));
            if (shape.upstream[node].empty()) {
                sources.push_back(nodes.back().get());
            }
        }
        for (const Edge& edge : shape.edges) {
            tbb::flow::make_edge(*nodes[edge.from], *nodes[edge.to]);
        }
    }

    void Run() {
        for (Node* source : sources) {
            source->try_put(Message());
        }
        graph.wait_for_all();
    }

    std::uint64_t Value(std::size_t node) const { return values[node]; }

private:
    using Message = tbb::flow::continue_msg;
    using Node = tbb::flow::continue_node<Message>;

    void Compute(std::uint32_t node) {
        ++executions;
        std::uint64_t sum = 1;
        for (std::uint32_t upstream : shape.upstream[node]) {
            sum += values[upstream];
        }
        values[node] = sum;
    }

    const Shape& shape;
    std::vector<std::uint64_t> values;
    tbb::flow::graph graph;
    // Declared after the graph: nodes must go before the graph they belong to.
    std::vector<std::unique_ptr<Node>> nodes;
    std::vector<Node*> sources;
};

void UseOneThread() {
    static const tbb::global_control oneThread(tbb::global_control::max_allowed_parallelism, 1);
}

std::unique_ptr<FlowGraph> BuildAndRun(const Workload& workload) {
    auto flow = std::make_unique<FlowGraph>(workload.shape);
    flow->Run();
    return flow;
}

void CheckValues(const FlowGraph& flow, const Workload& workload, const char* what) {
    for (std::size_t node = 0; node < workload.shape.nodeCount; ++node) {
        Require(flow.Value(node) == workload.expected[node], workload, systems::tbb,
                std::string("wrong value after ") + what);
    }
}

} // namespace

void CheckTbbFlow(const Workload& workload) {
    UseOneThread();
    executions = 0;
    auto flow = BuildAndRun(workload);
    Require(executions == workload.shape.nodeCount, workload, systems::tbb, "not every node ran");
    CheckValues(*flow, workload, "a run");
    flow->Run();
    Require(executions == 2 * workload.shape.nodeCount, workload, systems::tbb,
            "not every node ran again");
    CheckValues(*flow, workload, "a second run");
    flow.reset();
    // The flow graph's own bookkeeping may come from oneTBB's allocator, which this does not see.
    HeapMeasurement heap;
    { const auto measured = BuildAndRun(workload); }
    RecordFigure(workload.shape.name, systems::tbb, measures::memory,
                 static_cast<double>(heap.PeakBytes()) /
                     static_cast<double>(workload.shape.nodeCount));
}

void RegisterTbbFlow(const Workload& workload) {
    const Workload* w = &workload;
    RegisterMeasurement(workload, systems::tbb, measures::build, [w] {
        UseOneThread();
        return [w](Stopwatch& watch) {
            watch.Start();
            const FlowGraph flow(w->shape);
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::tbb, measures::traverse, [w] {
        UseOneThread();
        std::shared_ptr<FlowGraph> flow = BuildAndRun(*w);
        return [flow](Stopwatch& watch) {
            watch.Start();
            flow->Run();
            watch.Stop();
        };
    });
    RegisterMeasurement(workload, systems::tbb, measures::destructor, [w] {
        UseOneThread();
        return [w](Stopwatch& watch) {
            auto flow = BuildAndRun(*w);
            watch.Start();
            flow.reset();
            watch.Stop();
        };
    });
}

} // namespace bench
