// A host program: a monthly budget kept as a graph. It runs the budget and its yearly outlook,
// prints every cell with its value and what happened to each node and why, changes the rent,
// recomputes only what the change reaches and prints which nodes that ran, deletes a cell and
// takes the deletion back with an EditHistory, lists what CheckGraph finds, and draws the graph
// with Graphviz.
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
#include <map>
#include <sstream>
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

// A node's step takes well under a microsecond, so whole microseconds would read "0 us".
std::string FormatDuration(std::chrono::nanoseconds duration) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1);
    if (duration < std::chrono::microseconds(1)) {
        text << duration.count() << " ns";
    } else if (duration < std::chrono::milliseconds(1)) {
        text << static_cast<double>(duration.count()) / 1e3 << " us";
    } else {
        text << static_cast<double>(duration.count()) / 1e6 << " ms";
    }
    return text.str();
}

/// Prints each node's fate as the traversal reports it, in running order.
class PrintingObserver : public datagraph::ITraversalObserver {
public:
    explicit PrintingObserver(const Graph& graph)
        : graph(graph) {}

    void NodeRan(const GUID& nodeId, std::chrono::nanoseconds duration) override {
        std::cout << "    ran      " << NodeName(graph, nodeId) << " (" << FormatDuration(duration)
                  << ")\n";
    }

    void NodeSkipped(const GUID& nodeId, datagraph::SkipReason reason,
                     const datagraph::IdentifierSet& unmarkedInputPins) override {
        if (reason == datagraph::SkipReason::OutsideExecutionSubgraph) {
            outside.push_back(NodeName(graph, nodeId));
            return;
        }
        std::cout << "    skipped  " << NodeName(graph, nodeId);
        std::cout << ": " << datagraph::ToString(reason);
        if (reason == datagraph::SkipReason::Unconnected) {
            std::cout << "\n";
            return;
        }
        std::cout << ", no new data on";
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

/// Prints the nodes a run executed, and those that failed.
class RanObserver : public datagraph::ITraversalObserver {
public:
    explicit RanObserver(const Graph& graph)
        : graph(graph) {}

    void NodeRan(const GUID& nodeId, std::chrono::nanoseconds duration) override {
        std::cout << "    ran      " << NodeName(graph, nodeId) << " (" << FormatDuration(duration)
                  << ")\n";
        ++ran;
    }

    void NodeFailed(const GUID& nodeId, const std::string& message) override {
        std::cout << "    FAILED   " << NodeName(graph, nodeId) << ": " << message << "\n";
        ++failed;
    }

    int ran = 0;
    int failed = 0;

private:
    const Graph& graph;
};

void Run(budget::Workbook& workbook, const GUID& subgraph) {
    std::cout << "  Traverse(\"" << workbook.SubgraphNames().at(subgraph) << "\"):\n";
    PrintingObserver observer(workbook.GetGraph());
    const auto start = std::chrono::steady_clock::now();
    workbook.GetGraph().Traverse(subgraph, observer);
    const auto duration = std::chrono::steady_clock::now() - start;
    observer.PrintOutside();
    std::cout << "    (the whole traversal, printing included: " << FormatDuration(duration)
              << ")\n";
}

// Executes only the nodes of the subgraph that are not up to date.
void RunChanged(budget::Workbook& workbook, const GUID& subgraph) {
    Graph& graph = workbook.GetGraph();
    std::cout << "  TraverseChanged(\"" << workbook.SubgraphNames().at(subgraph) << "\"):\n";
    RanObserver observer(graph);
    const auto start = std::chrono::steady_clock::now();
    graph.TraverseChanged(subgraph, observer);
    const auto duration = std::chrono::steady_clock::now() - start;
    const std::size_t nodes = graph.GetNodesInExecutionSubgraph(subgraph).size();
    std::cout << "    (" << observer.ran << " of the subgraph's " << nodes << " nodes ran";
    if (observer.failed != 0) {
        std::cout << " and " << observer.failed << " failed";
    }
    std::cout << "; the whole call, printing included: " << FormatDuration(duration) << ")\n";
}

using CellTexts = std::map<std::string, std::string>;

// Prints every cell under `heading`, or with `before` only the cells whose text changed since
// then and those that are gone; returns the texts for the next comparison.
CellTexts PrintCells(const budget::Workbook& workbook, const std::string& heading,
                     const CellTexts* before = nullptr) {
    const Graph& graph = workbook.GetGraph();
    std::cout << "  " << heading << ":\n";
    CellTexts texts;
    int unchanged = 0;
    for (const GUID& nodeId : workbook.NodesInReadingOrder()) {
        if (!graph.HasNode(nodeId)) {
            continue;
        }
        for (const GUID& pinId : graph.GetOutputPins(nodeId)) {
            std::string name = NodeName(graph, nodeId);
            if (graph.GetOutputPins(nodeId).size() > 1) {
                name += ": " + PinName(graph, pinId);
            }
            const auto value = graph.GetDataFromPin(pinId);
            const std::string text = value ? budget::Describe(*value) : "(no value)";
            texts[name] = text;
            if (before && before->count(name) && before->at(name) == text) {
                ++unchanged;
                continue;
            }
            std::cout << "    " << std::left << std::setw(22) << name << " " << text;
            if (before && before->count(name)) {
                std::cout << "   (was " << before->at(name) << ")";
            }
            std::cout << "\n";
        }
    }
    if (before) {
        for (const auto& [name, text] : *before) {
            if (texts.count(name) == 0) {
                std::cout << "    " << std::left << std::setw(22) << name << " (gone)   (was "
                          << text << ")\n";
            }
        }
        std::cout << "    (" << unchanged << " other cells unchanged)\n";
    }
    return texts;
}

// Deletes a cell as a person would by mistake, then takes the deletion back with an EditHistory:
// the very node comes back, with its value and links, and the workbook reads as before.
void UndoDeletion(budget::Workbook& workbook, const CellTexts& before) {
    Graph& graph = workbook.GetGraph();
    std::cout << "\nThird: the groceries cell is deleted by mistake, and Undo brings it back.\n"
                 "An EditHistory attached to the graph records every edit the host makes.\n";
    datagraph::EditHistory history(graph);
    const GUID pin = workbook.CellPin("groceries");
    const GUID cell = graph.GetOwningNode(pin);
    const datagraph::INodeFunction* function = &graph.GetConstNode(cell).GetNodeFunction();
    const std::size_t links = graph.GetPinToPinEdges().count(pin);

    graph.DestroyNode(cell);
    std::cout << "  DestroyNode(groceries) took the cell and its " << links << " link"
              << (links == 1 ? "" : "s") << " out of the graph.\n";
    PrintCells(workbook, "What the deletion changed", &before);

    history.Undo();
    const bool same = graph.HasNode(cell) &&
                      &graph.GetConstNode(cell).GetNodeFunction() == function &&
                      graph.GetPinToPinEdges().count(pin) == links;
    std::cout << "  Undo() put back the same node, its value and its link"
              << (links == 1 ? "" : "s") << (same ? "" : " (NOT as it was)") << ".\n";
    RunChanged(workbook, workbook.MonthlySubgraph());
    const CellTexts after = PrintCells(workbook, "What changed since before the deletion", &before);
    std::cout << "  The budget reads " << (after == before ? "exactly" : "NOT")
              << " as before the deletion.\n";
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

    std::cout
        << "kesdatagraph demo: a monthly budget kept as a dataflow graph. It runs the graph,\n"
           "changes one input and recomputes, shows why each node ran, was skipped or\n"
           "failed, takes back a deletion with Undo, and draws the graph.\n\n";
    budget::Workbook workbook;
    std::cout << "First run: every cell holds what the person typed in.\n";
    Run(workbook, workbook.MonthlySubgraph());
    Run(workbook, workbook.YearlySubgraph());
    const CellTexts first = PrintCells(workbook, "The workbook now reads");

    std::cout
        << "\nSecond run: the rent goes up to 1,600.00. The host puts the new amount on the\n"
           "rent cell's pin, and TraverseChanged executes only the nodes the change reaches,\n"
           "and a node that failed last time.\n";
    datagraph::PutValueOnPin(workbook.GetGraph(), workbook.CellPin("rent"), budget::Cents(160000));
    RunChanged(workbook, workbook.MonthlySubgraph());
    RunChanged(workbook, workbook.YearlySubgraph());
    const CellTexts second = PrintCells(workbook, "What changed since the first run", &first);

    UndoDeletion(workbook, second);

    PrintProblems(workbook.GetGraph());
    return DrawPicture(workbook, directory);
}
