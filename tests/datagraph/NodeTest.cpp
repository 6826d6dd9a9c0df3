#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

namespace datagraph {
namespace {

using test::GraphSnapshot;
using test::PinnedNode;

class NodeTest : public ::testing::Test {
protected:
    void Execute(const PinnedNode& node) { graph.GetTraversableNode(node.id).Execute(); }

    Graph graph{CreateGUID()};
};

// source.out[0] --> node.in[0] (empty)       node.in[1] (unlinked, holds 1)
// source.out[1] --> node.in[2] (holds 2, mark cleared)
// node returns out[0] and out[1]; out[2] holds 0 with its mark cleared.
TEST_F(NodeTest, InputsAreThePinValuesAndOnlyReturnedOutputsAreWrittenAndMarked) {
    const PinnedNode node = test::AddPinnedNode(graph, 3, 3);
    const PinnedNode source = test::AddPinnedNode(graph, 0, 2);
    graph.LinkPins(source.out[0], node.in[0]);
    graph.LinkPins(source.out[1], node.in[2]);
    const auto unlinked = test::Int(1), linked = test::Int(2), kept = test::Int(0);
    graph.PutDataOnPin(node.in[1], unlinked);
    graph.PutDataOnPin(node.in[2], linked);
    graph.PutDataOnPin(node.out[2], kept);
    graph.GetTraversablePin(node.in[2]).SetUpdatedData(false);
    graph.GetTraversablePin(node.out[2]).SetUpdatedData(false);
    const auto first = test::Int(3), second = test::Int(4);
    node.function->SetOutputs({{node.out[0], first}, {node.out[1], second}});
    GraphSnapshot expected(graph);

    Execute(node);

    EXPECT_EQ(node.function->Calls().lastInputs,
              (DataMap{{node.in[1], unlinked}, {node.in[2], linked}}));
    expected.pins[node.out[0]].data = first.get();
    expected.pins[node.out[0]].updatedData = true;
    expected.pins[node.out[1]].data = second.get();
    expected.pins[node.out[1]].updatedData = true;
    EXPECT_EQ(GraphSnapshot(graph), expected); // nothing moves downstream, no mark is read
}

// Outputs are applied one by one in the map's order, so which entry got applied before the bad
// one depends on that order; several pairs of fresh pins are tried to see both orders.
TEST_F(NodeTest, WrongTypedOutputLeavesOnlyTheEntriesBeforeItApplied) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        SCOPED_TRACE(attempt);
        const PinnedNode node = test::AddPinnedNode(graph, 0, 2);
        const GUID goodPin = node.out[0], badPin = node.out[1];
        const auto good = test::Int(1);
        bool goodCameFirst = false;
        node.function->SetBody([&](const DataMap&) {
            DataMap outputs{{goodPin, good}, {badPin, test::Double(1.0)}};
            goodCameFirst = outputs.begin()->first == goodPin;
            return outputs;
        });

        EXPECT_GRAPH_EXCEPTION(Execute(node), "Data value has incorrect type");

        EXPECT_EQ(graph.GetDataFromPin(badPin), nullptr);
        EXPECT_EQ(graph.GetDataFromPin(goodPin), goodCameFirst ? good : nullptr);
    }
}

TEST_F(NodeTest, NamesAndDescriptionsComeFromTheFunction) {
    const PinnedNode node = test::AddPinnedNode(graph, 1, 0);
    node.function->SetName("adder");
    ITraversableNode& traversable = graph.GetTraversableNode(node.id);

    EXPECT_EQ(traversable.GetNodeName(), "adder");
    EXPECT_EQ(traversable.GetNodeDescription(), "adder description");
    EXPECT_EQ(traversable.GetPinName(node.in[0]), "pin " + GUIDToString(node.in[0]));
    EXPECT_EQ(traversable.GetPinDescription(node.in[0]), "about pin " + GUIDToString(node.in[0]));
}

} // namespace
} // namespace datagraph
