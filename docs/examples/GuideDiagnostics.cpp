// The guide's diagnostics: a traversal observer, the graph check, and a Graphviz picture.

#include "GuideTypes.h"

#include <chrono>
#include <iostream>
#include <sstream>

using guide::AddConstant;
using guide::Check;

namespace {

// [observer]
class PrintingObserver : public datagraph::ITraversalObserver {
public:
    explicit PrintingObserver(const datagraph::Graph& graph)
        : graph(graph) {}

    void NodeRan(const datagraph::GUID& nodeId, std::chrono::nanoseconds) override {
        std::cout << Name(nodeId) << " ran\n";
    }

    void NodeSkipped(const datagraph::GUID& nodeId, datagraph::SkipReason reason,
                     const datagraph::IdentifierSet& unmarkedInputPins) override {
        if (reason == datagraph::SkipReason::InputsNotReady) {
            std::cout << Name(nodeId) << " waits for " << unmarkedInputPins.size() << " input(s)\n";
        }
    }

    void NodeFailed(const datagraph::GUID& nodeId, const std::string& message) override {
        std::cout << Name(nodeId) << " failed: " << message << "\n";
    }

private:
    std::string Name(const datagraph::GUID& nodeId) const {
        return graph.GetConstNode(nodeId).GetNodeFunction().GetName();
    }

    const datagraph::Graph& graph;
};

// [observer]

} // namespace

int main() {
    datagraph::Graph graph(datagraph::CreateGUID());
    auto a = std::make_shared<AddConstant>("a", 1.0, true);
    auto b = std::make_shared<AddConstant>("b", 1.0, true);
    graph.CreateNode(a, datagraph::GetNullGUID());
    graph.CreateNode(b, datagraph::GetNullGUID());
    graph.LinkPins(a->out, b->in);

    // [observe a run]
    PrintingObserver observer(graph);
    graph.Traverse(graph.GetDefaultExecutionSubgraphID(), observer); // "a ran", "b ran"
    // [observe a run]

    // [check]
    graph.LinkPins(b->out, a->in); // closes the cycle a -> b -> a
    const datagraph::GraphCycle cycle = datagraph::FindCycle(graph);
    Check(cycle.nodes.size() == 2 && cycle.links.size() == 2, "a cycle of two");
    for (const datagraph::GraphProblem& problem : datagraph::CheckGraph(graph)) {
        std::cout << problem.message << "\n"; // names the nodes, and what the problem causes
    }
    // [check]

    // [graphviz]
    datagraph::GraphvizOptions options;
    options.graphName = "guide";
    options.describeValue = [](const datagraph::IDataValue& value) {
        return std::to_string(dynamic_cast<const guide::Number&>(value).Get());
    };
    std::ostringstream dot; // or a std::ofstream the host opens: the library writes no files
    datagraph::WriteGraphviz(graph, dot, options);
    // [graphviz]
    Check(dot.str().rfind("digraph \"guide\" {", 0) == 0, "a DOT document");
    return 0;
}
