// The guide's edit notifications: an observer that keeps a document's "modified" flag hears of
// every edit, once it is made, and of each traversal in one summary.

#include <datagraph/DataGraph.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
        std::exit(1);
    }
}

// [edit observer]
/// Keeps a document's "modified" flag, and says what changed.
class ModifiedFlag : public datagraph::IGraphEditObserver {
public:
    void NodeCreated(const datagraph::GUID&) override { Touch("node created"); }

    void NodeDestroyed(const datagraph::GUID&) override { Touch("node destroyed"); }

    void LinkMade(const datagraph::GUID&, const datagraph::GUID&) override { Touch("link made"); }

    void LinkRemoved(const datagraph::GUID&, const datagraph::GUID&) override {
        Touch("link removed");
    }

    void PinDataWritten(const datagraph::GUID&) override { Touch("value written"); }

    // What a run writes is a result, not an edit: the document is no more modified than before.
    void TraversalFinished(const datagraph::GUID&) override { ++runs; }

    bool modified = false;
    int runs = 0;

private:
    void Touch(const char* what) {
        modified = true;
        std::cout << what << "\n";
    }
};

// [edit observer]

} // namespace

int main() {
    using namespace datagraph;
    // [observe edits]
    Graph graph(CreateGUID());
    ModifiedFlag flag;
    graph.SetEditObserver(&flag);
    auto price = MakeInputCell<int>("price");
    auto doubled =
        MakeFunctionNode("doubled", {"price"}, {"doubled"}, [](int price) { return 2 * price; });
    graph.CreateNode(price, GetNullGUID());                          // "node created"
    graph.CreateNode(doubled, GetNullGUID());                        // "node created"
    graph.LinkPins(price->Output("value"), doubled->Input("price")); // "link made"
    PutValueOnPin(graph, price->Output("value"), 4);                 // "value written"
    Check(flag.modified, "four edits");

    flag.modified = false; // the host saved the document
    graph.Traverse();      // one summary, and no edit
    Check(!flag.modified && flag.runs == 1, "a run is not an edit");
    Check(GetValueFromPin<int>(graph, doubled->Output("doubled")) == 8, "2 * 4");

    graph.DestroyNode(price->GetId()); // "link removed", then "node destroyed"
    Check(flag.modified, "destroying a node is an edit");
    graph.SetEditObserver(nullptr); // the graph outlives the observer here
    // [observe edits]
    return 0;
}
