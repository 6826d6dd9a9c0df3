#pragma once

// A monthly budget laid out as a graph: typed value cells, formulas, an "income tax" ubernode
// holding its own nodes, a yearly outlook in a second execution subgraph, a cell that is not
// linked to anything, and one mistake: a text cell linked to a rate input.

#include "BudgetFunctions.h"

#include <datagraph/Graph.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace budget {

class Workbook {
public:
    Workbook();

    datagraph::Graph& GetGraph() { return graph; }

    const datagraph::Graph& GetGraph() const { return graph; }

    GUID MonthlySubgraph() const { return monthly; }

    GUID YearlySubgraph() const { return yearly; }

    /// Titles of both execution subgraphs, for printing and the picture.
    std::map<GUID, std::string> SubgraphNames() const;

    /// The cell typed in under `name`; the caller may Set it between runs.
    Cell& GetCell(const std::string& name) { return *cells.at(name); }

    /// Every node in reading order, for printing the workbook.
    const std::vector<GUID>& NodesInReadingOrder() const { return readingOrder; }

private:
    std::shared_ptr<Cell> AddCell(const std::string& name,
                                  std::shared_ptr<const datagraph::IDataValue> value);

    // Any node function: a Formula, or one made by datagraph::MakeFunctionNode.
    template <typename Function>
    std::shared_ptr<Function> AddFormula(std::shared_ptr<Function> formula, const GUID& subgraph) {
        graph.CreateNode(formula, subgraph);
        readingOrder.push_back(formula->GetId());
        return formula;
    }

    void BuildMonthly();
    void BuildYearly();

    const GUID monthly = datagraph::CreateGUID();
    const GUID yearly = datagraph::CreateGUID();
    datagraph::Graph graph{monthly};
    std::map<std::string, std::shared_ptr<Cell>> cells;
    std::map<std::string, GUID> outputs; // the output pin of each formula and ubernode output
    std::vector<GUID> readingOrder;
};

} // namespace budget
