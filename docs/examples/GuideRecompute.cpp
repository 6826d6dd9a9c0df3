// The guide's recomputation after an edit: TraverseChanged runs only the nodes that the edit
// reaches, MarkChanged covers a node that reads outside state, and a node function that returns
// the object its output already holds stops the change.

#include <datagraph/DataGraph.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
        std::exit(1);
    }
}

// [ran observer]
/// Prints the name of every node a run executes.
class RanPrinter : public datagraph::ITraversalObserver {
public:
    explicit RanPrinter(const datagraph::Graph& graph)
        : graph(graph) {}

    void NodeRan(const datagraph::GUID& nodeId, std::chrono::nanoseconds) override {
        std::cout << " " << graph.GetConstNode(nodeId).GetNodeFunction().GetName();
    }

private:
    const datagraph::Graph& graph;
};

// [ran observer]

} // namespace

int main() {
    using namespace datagraph;
    // [changed]
    Graph graph(CreateGUID());
    auto price = MakeInputCell<int>("price");
    auto quantity = MakeInputCell<int>("quantity");
    auto total = MakeFunctionNode("total", {"price", "quantity"}, {"total"},
                                  [](int price, int quantity) { return price * quantity; });
    auto shipped =
        MakeFunctionNode("shipped", {"total"}, {"shipped"}, [](int total) { return total + 5; });
    graph.CreateNode(price, GetNullGUID());
    graph.CreateNode(quantity, GetNullGUID());
    graph.CreateNode(total, GetNullGUID());
    graph.CreateNode(shipped, GetNullGUID());
    graph.LinkPins(price->Output("value"), total->Input("price"));
    graph.LinkPins(quantity->Output("value"), total->Input("quantity"));
    graph.LinkPins(total->Output("total"), shipped->Input("total"));
    PutValueOnPin(graph, price->Output("value"), 10);
    PutValueOnPin(graph, quantity->Output("value"), 3);
    graph.TraverseChanged(); // the first run executes every node: none has run yet

    PutValueOnPin(graph, price->Output("value"), 12);
    graph.TraverseChanged(); // runs price, total and shipped; quantity is up to date
    Check(GetValueFromPin<int>(graph, shipped->Output("shipped")) == 41, "12 * 3 + 5");
    graph.TraverseChanged(); // nothing changed: runs no node
    // [changed]

    // [observe changed]
    RanPrinter printer(graph);
    PutValueOnPin(graph, quantity->Output("value"), 4);
    std::cout << "ran:";
    graph.TraverseChanged(graph.GetDefaultExecutionSubgraphID(), printer); // quantity total shipped
    std::cout << "\n";
    // [observe changed]
    Check(GetValueFromPin<int>(graph, shipped->Output("shipped")) == 53, "12 * 4 + 5");

    // [mark changed]
    // A node that reads outside state: here a day the host keeps, as a clock or a file would be.
    int today = 1;
    auto day = MakeFunctionNode("today", {}, {"day"}, [&today]() { return today; });
    auto left = MakeFunctionNode("days left", {"day"}, {"left"}, [](int day) { return 30 - day; });
    graph.CreateNode(day, GetNullGUID());
    graph.CreateNode(left, GetNullGUID());
    graph.LinkPins(day->Output("day"), left->Input("day"));
    graph.TraverseChanged(); // the new nodes run: a new node is never up to date

    today = 2;                       // the graph cannot see this
    graph.MarkChanged(day->GetId()); // so the host says so
    graph.TraverseChanged();         // runs today and days left
    Check(GetValueFromPin<int>(graph, left->Output("left")) == 28, "30 - 2");
    // [mark changed]

    // [cutoff]
    // Above the ceiling, the node returns the one object it keeps for it: the value its output
    // already holds, so the nodes downstream have nothing new to run on.
    auto capped = MakeFunctionNode(
        "capped", {"shipped"}, {"capped"},
        [ceiling = MakeValue(50)](int shipped) -> std::shared_ptr<const Value<int>> {
            return shipped > 50 ? ceiling : MakeValue(shipped);
        });
    auto label = MakeFunctionNode("label", {"capped"}, {"label"},
                                  [](int capped) { return "pay " + std::to_string(capped); });
    graph.CreateNode(capped, GetNullGUID());
    graph.CreateNode(label, GetNullGUID());
    graph.LinkPins(shipped->Output("shipped"), capped->Input("shipped"));
    graph.LinkPins(capped->Output("capped"), label->Input("capped"));
    graph.TraverseChanged(); // capped and label run for the first time: "pay 50"

    PutValueOnPin(graph, price->Output("value"), 20); // shipped becomes 85, still above 50
    graph.TraverseChanged(); // runs price, total, shipped and capped, but not label
    Check(GetValueFromPin<std::string>(graph, label->Output("label")) == "pay 50", "capped");
    // [cutoff]

    // [copy changed]
    Graph copy(graph);      // nothing in a copy has run in it
    copy.TraverseChanged(); // so this runs every node of the copy once
    Check(GetValueFromPin<int>(copy, left->Output("left")) == 28, "the copy's days left");
    // [copy changed]
    return 0;
}
