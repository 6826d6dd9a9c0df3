// The guide's undo and redo: an editor host groups a user's action into one step, takes it back
// and makes it again, and a traversal in between is no step.

#include <datagraph/DataGraph.h>

#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
        std::exit(1);
    }
}

} // namespace

int main() {
    using namespace datagraph;
    // [undo and redo]
    Graph graph(CreateGUID());
    auto rent = MakeInputCell<int>("rent");
    auto food = MakeInputCell<int>("food");
    auto total = MakeFunctionNode("total", {"rent", "food"}, {"total"},
                                  [](int rent, int food) { return rent + food; });
    graph.CreateNode(rent, GetNullGUID());
    graph.CreateNode(food, GetNullGUID());
    graph.CreateNode(total, GetNullGUID());
    graph.LinkPins(rent->Output("value"), total->Input("rent"));
    graph.LinkPins(food->Output("value"), total->Input("food"));
    PutValueOnPin(graph, rent->Output("value"), 900);
    PutValueOnPin(graph, food->Output("value"), 300);
    graph.Traverse();

    EditHistory history(graph); // records every edit from here on
    {
        // The user deletes the food cell and types a new rent: one step.
        EditHistory::Transaction step(history);
        graph.DestroyNode(food->GetId());
        PutValueOnPin(graph, rent->Output("value"), 1000);
    }
    Check(history.UndoCount() == 1 && !graph.HasNode(food->GetId()), "one step");

    history.Undo(); // the very cell comes back, linked as it was, and the old rent
    Check(graph.HasNode(food->GetId()), "the cell is back");
    Check(&graph.GetConstNode(food->GetId()).GetNodeFunction() == food.get(), "not a clone");
    graph.Traverse();
    Check(GetValueFromPin<int>(graph, total->Output("total")) == 1200, "900 + 300");

    history.Redo(); // and gone again
    Check(!graph.HasNode(food->GetId()) && history.CanUndo() && !history.CanRedo(), "redone");
    // [undo and redo]
    return 0;
}
