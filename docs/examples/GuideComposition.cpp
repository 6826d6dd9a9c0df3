// The guide's ubernode: a whole graph used as one node function of another graph.

#include "GuideTypes.h"

using guide::AddConstant;
using guide::Check;
using guide::ValueOn;

int main() {
    // [ubernode]
    // The inner graph: x --> x + 1 --> x + 3. Its first input pin and last output pin become
    // the ubernode's pins, with the same ids.
    auto inner = std::make_shared<datagraph::Graph>(datagraph::CreateGUID());
    auto plusOne = std::make_shared<AddConstant>("plus one", 1.0, true);
    auto plusTwo = std::make_shared<AddConstant>("plus two", 2.0, true);
    inner->CreateNode(plusOne, datagraph::GetNullGUID());
    inner->CreateNode(plusTwo, datagraph::GetNullGUID());
    inner->LinkPins(plusOne->out, plusTwo->in);
    auto plusThree = std::make_shared<datagraph::UbernodeNodeFunction>(
        inner, datagraph::Schema{{plusOne->in, typeid(guide::Number)}},
        datagraph::Schema{{plusTwo->out, typeid(guide::Number)}}, "plus three",
        "adds one, then two", datagraph::CreateGUID());

    datagraph::Graph outer(datagraph::CreateGUID());
    auto source = std::make_shared<AddConstant>("source", 4.0, false);
    outer.CreateNode(source, datagraph::GetNullGUID());
    outer.CreateNode(plusThree, datagraph::GetNullGUID());
    outer.LinkPins(source->out, plusOne->in); // the ubernode's input pin
    outer.Traverse(); // runs source, then the ubernode, which traverses its inner graph once
    Check(ValueOn(outer, plusTwo->out) == 7.0, "4 + 3");
    // [ubernode]

    // [nesting]
    // An ubernode cannot become a node of its own inner graph, nor of any graph nested in it.
    try {
        inner->CreateNode(plusThree, datagraph::GetNullGUID());
        Check(false, "an ubernode inside itself is refused");
    } catch (const datagraph::GraphException&) {
        Check(!inner->HasNode(plusThree->GetId()), "the refused node is not there");
    }
    // A clone has an inner graph of its own, which the host may edit through the clone.
    auto clone = std::dynamic_pointer_cast<datagraph::UbernodeNodeFunction>(plusThree->Clone());
    clone->GetGraph()->SetDirty(plusOne->GetId(), true);
    Check(!inner->GetConstNode(plusOne->GetId()).GetDirty(), "the original is untouched");
    // [nesting]
    return 0;
}
