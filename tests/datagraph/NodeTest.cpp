#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

using test::GraphSnapshot;

using TestNode = test::PinnedNode;

class NodeTest : public ::testing::Test {
protected:
    TestNode AddNode(int inputs, int outputs) {
        return test::AddPinnedNode(graph, inputs, outputs);
    }

    void Execute(const TestNode& node) { graph.GetTraversableNode(node.id).Execute(); }

    Graph graph{CreateGUID()};
};

// in[0] is linked and empty, in[1] unlinked with a value, in[2] linked with a value.
TEST_F(NodeTest, InputsAreTheValuesOnItsPinsWhetherLinkedOrNot) {
    const TestNode node = AddNode(3, 0);
    const TestNode source = AddNode(0, 2);
    graph.LinkPins(source.out[0], node.in[0]);
    graph.LinkPins(source.out[1], node.in[2]);
    const auto unlinked = test::Int(1), linked = test::Int(2);
    graph.PutDataOnPin(node.in[1], unlinked);
    graph.PutDataOnPin(node.in[2], linked);
    graph.GetTraversablePin(node.in[2]).SetUpdatedData(false);
    const GraphSnapshot before(graph);

    Execute(node);

    EXPECT_EQ(node.function->Calls().lastInputs,
              (DataMap{{node.in[1], unlinked}, {node.in[2], linked}}));
    EXPECT_EQ(GraphSnapshot(graph), before); // marks are neither read nor changed
}

TEST_F(NodeTest, ReturnedOutputsAreWrittenAndOthersKeepValueAndMark) {
    const TestNode node = AddNode(0, 3);
    const auto kept = test::Int(0), first = test::Int(1), second = test::Int(2);
    graph.PutDataOnPin(node.out[2], kept);
    for (const GUID& pinId : node.out) {
        graph.GetTraversablePin(pinId).SetUpdatedData(false);
    }
    node.function->SetOutputs({{node.out[0], first}, {node.out[1], second}});

    Execute(node);

    EXPECT_EQ(node.function->Calls().executes, 1);
    EXPECT_TRUE(node.function->Calls().lastInputs.empty());
    EXPECT_EQ(graph.GetDataFromPin(node.out[0]), first);
    EXPECT_EQ(graph.GetDataFromPin(node.out[1]), second);
    EXPECT_EQ(graph.GetDataFromPin(node.out[2]), kept);
    EXPECT_TRUE(graph.GetConstPin(node.out[0]).HasUpdatedData());
    EXPECT_TRUE(graph.GetConstPin(node.out[1]).HasUpdatedData());
    EXPECT_FALSE(graph.GetConstPin(node.out[2]).HasUpdatedData());
}

TEST_F(NodeTest, EmptyOutputsChangeNothing) {
    const TestNode node = AddNode(1, 1);
    graph.PutDataOnPin(node.in[0], test::Int(1));
    const GraphSnapshot before(graph);

    Execute(node);

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(NodeTest, OutputNamingNoOutputPinOfTheNodeIsRefused) {
    const TestNode node = AddNode(1, 1);
    const TestNode other = AddNode(1, 1);
    const GraphSnapshot before(graph);

    for (const GUID& pinId : {node.in[0], other.in[0], other.out[0], CreateGUID()}) {
        SCOPED_TRACE(GUIDToString(pinId));
        node.function->SetOutputs({{pinId, test::Int(1)}});
        EXPECT_GRAPH_EXCEPTION(Execute(node), "Could not find the indicated output pin.");
        EXPECT_EQ(GraphSnapshot(graph), before);
    }
}

// Outputs are applied one by one in the map's order, so which entry got applied before the bad
// one depends on that order; several pairs of fresh pins are tried to see both orders.
TEST_F(NodeTest, WrongTypedOutputLeavesOnlyTheEntriesBeforeItApplied) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        SCOPED_TRACE(attempt);
        const TestNode node = AddNode(0, 2);
        const GUID goodPin = node.out[0], badPin = node.out[1];
        const auto good = test::Int(1), old = test::Int(0);
        graph.PutDataOnPin(badPin, old);
        graph.GetTraversablePin(badPin).SetUpdatedData(false);
        bool goodCameFirst = false;
        node.function->SetBody([&](const DataMap&) {
            DataMap outputs{{goodPin, good}, {badPin, test::Double(1.0)}};
            goodCameFirst = outputs.begin()->first == goodPin;
            return outputs;
        });

        EXPECT_GRAPH_EXCEPTION(Execute(node), "Data value has incorrect type");

        EXPECT_EQ(graph.GetDataFromPin(badPin), old);
        EXPECT_FALSE(graph.GetConstPin(badPin).HasUpdatedData());
        EXPECT_EQ(graph.GetDataFromPin(goodPin), goodCameFirst ? good : nullptr);
        EXPECT_EQ(graph.GetConstPin(goodPin).HasUpdatedData(), goodCameFirst);
        node.function->SetBody(nullptr);
    }
}

TEST_F(NodeTest, HostExceptionPassesThroughAndNoPinIsTouched) {
    const TestNode node = AddNode(1, 1);
    graph.PutDataOnPin(node.in[0], test::Int(1));
    node.function->SetBody([](const DataMap&) -> DataMap { throw test::HostError("host failed"); });
    const GraphSnapshot before(graph);

    try {
        Execute(node);
        ADD_FAILURE() << "HostError expected";
    } catch (const test::HostError& e) {
        EXPECT_STREQ(e.what(), "host failed");
    }

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(NodeTest, FunctionSharedByTwoGraphsIsTheSameObjectAndEachNodeWritesItsOwnGraph) {
    Graph other(CreateGUID());
    const TestNode node = AddNode(0, 1);
    other.CreateNode(node.function, GetNullGUID());
    node.function->SetOutputs({{node.out[0], test::Int(4)}});

    other.GetTraversableNode(node.id).Execute();

    EXPECT_EQ(&graph.GetConstNode(node.id).GetNodeFunction(), node.function.get());
    EXPECT_EQ(&other.GetConstNode(node.id).GetNodeFunction(), node.function.get());
    EXPECT_EQ(test::IntOf(other.GetDataFromPin(node.out[0])), 4);
    EXPECT_EQ(graph.GetDataFromPin(node.out[0]), nullptr);
}

TEST_F(NodeTest, NamesAndDescriptionsComeFromTheFunction) {
    const TestNode node = AddNode(1, 0);
    node.function->SetName("adder");
    ITraversableNode& traversable = graph.GetTraversableNode(node.id);

    EXPECT_EQ(traversable.GetNodeName(), "adder");
    EXPECT_EQ(traversable.GetNodeDescription(), "adder description");
    EXPECT_EQ(traversable.GetPinName(node.in[0]), "pin " + GUIDToString(node.in[0]));
    EXPECT_EQ(traversable.GetPinDescription(node.in[0]), "about pin " + GUIDToString(node.in[0]));
}

TEST_F(NodeTest, CopiedNodeSharesTheFunctionAndTheGraph) {
    const TestNode node = AddNode(0, 1);
    node.function->SetOutputs({{node.out[0], test::Int(9)}});
    Node copy(graph.GetConstNode(node.id));

    copy.Execute();

    EXPECT_EQ(&copy.GetNodeFunction(), node.function.get());
    EXPECT_EQ(copy.GetOutputPins(), IdentifierSet{node.out[0]});
    EXPECT_EQ(test::IntOf(graph.GetDataFromPin(node.out[0])), 9);
}

TEST_F(NodeTest, FunctionMayDestroyItsOwnNodeWhileExecuting) {
    const TestNode node = AddNode(1, 1);
    node.function->SetBody([&](const DataMap&) {
        graph.DestroyNode(node.id);
        return DataMap{};
    });

    Execute(node);

    EXPECT_FALSE(graph.HasNode(node.id));
    EXPECT_FALSE(graph.HasPin(node.out[0]));
}

} // namespace
} // namespace datagraph
