// The guide's first steps: build a graph, run it, readiness and marks, copies and failures.

#include "GuideTypes.h"

using guide::AddConstant;
using guide::Check;
using guide::Number;
using guide::ValueOn;

int main() {
    // [build and run]
    const datagraph::GUID inputs = datagraph::CreateGUID();
    datagraph::Graph graph(datagraph::CreateGUID()); // the default execution subgraph's GUID
    auto source = std::make_shared<AddConstant>("source", 1.0, false);
    auto plusTen = std::make_shared<AddConstant>("plus ten", 10.0, true);
    graph.CreateNode(source, inputs);                    // filed under the subgraph "inputs"
    graph.CreateNode(plusTen, datagraph::GetNullGUID()); // null: the default subgraph
    graph.LinkPins(source->out, plusTen->in);

    graph.Traverse(inputs); // runs source; its value moves to plusTen's input, marking it
    graph.Traverse();       // runs plusTen, which is ready: its one linked input is marked
    Check(ValueOn(graph, plusTen->out) == 11.0, "1 + 10");
    // [build and run]

    // [marks]
    // Marks stay until the host clears them, so the same call would run plusTen again.
    for (const datagraph::Pin* pin : graph.GetAllPins()) {
        graph.GetTraversablePin(pin->GetId()).SetUpdatedData(false);
    }
    graph.Traverse(); // plusTen is skipped: its linked input carries no mark
    graph.PutDataOnPin(plusTen->in, std::make_shared<const Number>(5.0)); // value and mark
    graph.Traverse();                                                     // now it runs
    Check(ValueOn(graph, plusTen->out) == 15.0, "5 + 10");
    // [marks]

    // [copies]
    datagraph::Graph copy(graph); // deep: cloned functions and values, the same ids
    copy.PutDataOnPin(plusTen->in, std::make_shared<const Number>(100.0));
    copy.Traverse();
    Check(ValueOn(copy, plusTen->out) == 110.0 && ValueOn(graph, plusTen->out) == 15.0,
          "a copy shares nothing");
    // [copies]

    // [failures]
    try {
        graph.LinkPins(plusTen->out, datagraph::CreateGUID()); // no such pin
        Check(false, "the link is refused");
    } catch (const datagraph::GraphException& refused) {
        // The message is fixed text, and a refused request leaves the graph as it was.
        Check(std::string(refused.what()) == "Input pin does not exist.", "the message");
    }
    // [failures]
    return 0;
}
