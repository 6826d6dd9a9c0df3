// A host program: a monthly budget kept as a graph. It runs the budget and its yearly outlook,
// prints every cell with its value and what happened to each node and why, changes the rent,
// runs again, lists what CheckGraph finds, and draws the graph with Graphviz.
//
// Usage: kesdatagraph_demo [directory]   (writes budget.dot there, and budget.svg if `dot` is
// installed; the current directory by default)

#include "budget/Workbook.h"

#include <datagraph/DataGraph.h>
#include <kescoreplatform/KLog.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

namespace {

using datagraph::Graph;
using datagraph::GUID;

std::string NodeName(const Graph& graph, const GUID& nodeId) {
    return graph.GetConstNode(nodeId).GetNodeFunction().GetName();
}

std::string PinName(const Graph& graph, const GUID& pinId) {
    return graph.GetConstNode(graph.GetOwningNode(pinId))
        .GetNodeFunction()
        .GetInputOrOutputName(pinId);
}

/// Prints each node's fate as the traversal reports it, in running order.
class PrintingObserver : public datagraph::ITraversalObserver {
public:
    explicit PrintingObserver(const Graph& graph)
        : graph(graph) {}

    void NodeRan(const GUID& nodeId, std::chrono::nanoseconds duration) override {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(duration);
        std::cout << "    ran      " << NodeName(graph, nodeId) << " (" << micros.count()
                  << " us)\n";
    }

    void NodeSkipped(const GUID& nodeId, datagraph::SkipReason reason,
                     const datagraph::IdentifierSet& unmarkedInputPins) override {
        if (reason == datagraph::SkipReason::OutsideExecutionSubgraph) {
            outside.push_back(NodeName(graph, nodeId));
            return;
        }
        std::cout << "    skipped  " << NodeName(graph, nodeId);
        if (reason == datagraph::SkipReason::Unconnected) {
            std::cout << ": it has no links\n";
            return;
        }
        std::cout << ": no new data on";
        for (const GUID& pinId : unmarkedInputPins) {
            std::cout << " '" << PinName(graph, pinId) << "'";
        }
        std::cout << "\n";
    }

    void NodeFailed(const GUID& nodeId, const std::string& message) override {
        std::cout << "    FAILED   " << NodeName(graph, nodeId) << ": " << message << "\n";
    }

    void PrintOutside() const {
        std::cout << "    (not in this subgraph, so not run: " << outside.size() << " nodes)\n";
    }

private:
    const Graph& graph;
    std::vector<std::string> outside;
};

void Run(budget::Workbook& workbook, const GUID& subgraph) {
    std::cout << "  Traverse(\"" << workbook.SubgraphNames().at(subgraph) << "\"):\n";
    PrintingObserver observer(workbook.GetGraph());
    workbook.GetGraph().Traverse(subgraph, observer);
    observer.PrintOutside();
}

void PrintCells(const budget::Workbook& workbook) {
    const Graph& graph = workbook.GetGraph();
    std::cout << "  The workbook now reads:\n";
    for (const GUID& nodeId : workbook.NodesInReadingOrder()) {
        for (const GUID& pinId : graph.GetOutputPins(nodeId)) {
            std::string name = NodeName(graph, nodeId);
            if (graph.GetOutputPins(nodeId).size() > 1) {
                name += ": " + PinName(graph, pinId);
            }
            const auto value = graph.GetDataFromPin(pinId);
            std::cout << "    " << std::left << std::setw(22) << name << " "
                      << (value ? budget::Describe(*value) : "(no value)") << "\n";
        }
    }
}

void ClearMarks(Graph& graph) {
    for (const datagraph::Pin* pin : graph.GetAllPins()) {
        graph.GetTraversablePin(pin->GetId()).SetUpdatedData(false);
    }
}

void PrintProblems(const Graph& graph) {
    std::cout << "\nWhat CheckGraph finds before anyone runs into it:\n";
    for (const datagraph::GraphProblem& problem : datagraph::CheckGraph(graph)) {
        std::cout << "  - " << problem.message << "\n";
    }
    std::cout << "FindCycle: "
              << (datagraph::FindCycle(graph).nodes.empty() ? "no cycle" : "a cycle") << "\n";
}

int DrawPicture(const budget::Workbook& workbook, const std::string& directory) {
    const std::string dotFile = directory + "/budget.dot";
    std::ofstream out(dotFile);
    datagraph::GraphvizOptions options;
    options.graphName = "budget";
    options.subgraphNames = workbook.SubgraphNames();
    options.describeValue = budget::Describe;
    datagraph::WriteGraphviz(workbook.GetGraph(), out, options);
    out.close();
    if (!out) {
        std::cerr << "Could not write " << dotFile << "\n";
        return EXIT_FAILURE;
    }
    std::cout << "\nThe graph as Graphviz source: " << dotFile << "\n";
    if (std::system("command -v dot >/dev/null 2>&1") != 0) {
        std::cout << "(install Graphviz to turn it into a picture: dot -Tsvg -O " << dotFile
                  << ")\n";
        return EXIT_SUCCESS;
    }
    const std::string svgFile = directory + "/budget.svg";
    const std::string command = "dot -Tsvg -o '" + svgFile + "' '" + dotFile + "'";
    if (std::system(command.c_str()) != 0) {
        std::cerr << "dot could not draw " << dotFile << "\n";
        return EXIT_FAILURE;
    }
    std::cout << "The picture of the graph: " << svgFile << " (open it in a web browser)\n";
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    const std::string directory = argc > 1 ? argv[1] : ".";
    // The library logs one Info line per node that fails; show it where it happens.
    KLog::SetLogSink([](KLog::Severity, const std::wstring& message) {
        std::cout << "    log      " << std::string(message.begin(), message.end()) << "\n";
    });

    budget::Workbook workbook;
    std::cout << "First run: every cell holds what the person typed in.\n";
    Run(workbook, workbook.MonthlySubgraph());
    Run(workbook, workbook.YearlySubgraph());
    PrintCells(workbook);

    std::cout << "\nSecond run: the rent goes up to 1,600.00; the host clears every mark first,\n"
                 "so only data produced in this run makes a node ready.\n";
    workbook.GetCell("rent").Set(budget::Cents(160000));
    ClearMarks(workbook.GetGraph());
    Run(workbook, workbook.MonthlySubgraph());
    Run(workbook, workbook.YearlySubgraph());
    PrintCells(workbook);

    PrintProblems(workbook.GetGraph());
    return DrawPicture(workbook, directory);
}
