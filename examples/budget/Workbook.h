#pragma once

// A monthly budget laid out as a graph: typed input cells, formulas made from lambdas, an
// "income tax" ubernode holding its own nodes, a yearly outlook in a second execution subgraph,
// a cell that is not linked to anything, and one mistake: a text cell linked to a rate input.

#include "BudgetValues.h"

#include <datagraph/FunctionNode.h>
#include <datagraph/Graph.h>
#include <datagraph/Value.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace budget {

using datagraph::GUID;

class Workbook {
public:
    Workbook();

    datagraph::Graph& GetGraph() { return graph; }

    const datagraph::Graph& GetGraph() const { return graph; }

    GUID MonthlySubgraph() const { return monthly; }

    GUID YearlySubgraph() const { return yearly; }

    /// Titles of both execution subgraphs, for printing and the picture.
    std::map<GUID, std::string> SubgraphNames() const;

    /// The pin of the input cell typed in under `name`, which holds the person's value; the
    /// caller may put another value there with datagraph::PutValueOnPin between runs.
    GUID CellPin(const std::string& name) const { return cells.at(name); }

    /// Every node in reading order, for printing the workbook.
    const std::vector<GUID>& NodesInReadingOrder() const { return readingOrder; }

private:
    // An input cell holding `value` on its pin "value"; gives that pin.
    template <typename T> GUID AddCell(const std::string& name, T value) {
        const auto cell = AddNode(datagraph::MakeInputCell<T>(name), monthly);
        const GUID pin = cell->Output("value");
        datagraph::PutValueOnPin(graph, pin, std::move(value));
        cells[name] = pin;
        return pin;
    }

    // Any node function: one made by datagraph::MakeFunctionNode, or an ubernode.
    template <typename Function>
    std::shared_ptr<Function> AddNode(std::shared_ptr<Function> function, const GUID& subgraph) {
        graph.CreateNode(function, subgraph);
        readingOrder.push_back(function->GetId());
        return function;
    }

    void BuildMonthly();
    void BuildYearly();

    const GUID monthly = datagraph::CreateGUID();
    const GUID yearly = datagraph::CreateGUID();
    datagraph::Graph graph{monthly};
    std::map<std::string, GUID> cells;   // the pin of each input cell
    std::map<std::string, GUID> outputs; // the output pin of each formula and ubernode output
    std::vector<GUID> readingOrder;
};

} // namespace budget
