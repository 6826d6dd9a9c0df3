#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

using test::GraphSnapshot;

class GraphPinDataTest : public ::testing::Test {
protected:
    GraphPinDataTest() {
        auto function = std::make_shared<test::StubFunction>();
        input = function->AddInput(typeid(test::IntValue));
        output = function->AddOutput(typeid(test::IntValue));
        graph.CreateNode(function, GetNullGUID());
    }

    Graph graph{CreateGUID()};
    GUID input;
    GUID output;
    Pin pin{typeid(test::IntValue), CreateGUID()};
};

TEST_F(GraphPinDataTest, SetDataKeepsTheSameObjectAndSetsTheMarkOnEveryWrite) {
    EXPECT_EQ(pin.GetData(), nullptr);
    EXPECT_FALSE(pin.HasUpdatedData());
    const auto value = test::Int(3);

    pin.SetData(value);
    EXPECT_EQ(pin.GetData().get(), value.get());
    EXPECT_TRUE(pin.HasUpdatedData());

    pin.SetUpdatedData(false);
    EXPECT_EQ(pin.GetData().get(), value.get());
    EXPECT_FALSE(pin.HasUpdatedData());

    pin.SetData(value);
    EXPECT_EQ(pin.GetData().get(), value.get());
    EXPECT_TRUE(pin.HasUpdatedData());
}

TEST_F(GraphPinDataTest, OnlyTheExactTypeIsAcceptedAndARefusalChangesNothing) {
    const auto held = test::Int(1);
    pin.SetData(held);
    for (bool mark : {true, false}) {
        SCOPED_TRACE(mark ? "mark set" : "mark cleared");
        pin.SetUpdatedData(mark);

        EXPECT_GRAPH_EXCEPTION(pin.SetData(std::make_shared<const test::DerivedIntValue>(2)),
                               "Data value has incorrect type");
        EXPECT_GRAPH_EXCEPTION(pin.SetData(test::Double(2.0)), "Data value has incorrect type");

        EXPECT_EQ(pin.GetData(), held);
        EXPECT_EQ(pin.HasUpdatedData(), mark);
    }
}

TEST_F(GraphPinDataTest, EmptyValueIsRefusedAndThePinIsUnchanged) {
    EXPECT_GRAPH_EXCEPTION(pin.SetData(nullptr), "Data value cannot be null");
    EXPECT_EQ(pin.GetData(), nullptr);
    EXPECT_FALSE(pin.HasUpdatedData());

    const auto held = test::Int(1);
    graph.PutDataOnPin(input, held);
    graph.GetTraversablePin(input).SetUpdatedData(false);
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(graph.PutDataOnPin(input, nullptr), "Data value cannot be null");

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(GraphPinDataTest, UnknownPinIdIsAnInvalidKeyEvenWithAWrongValue) {
    graph.PutDataOnPin(input, test::Int(1));
    const GraphSnapshot before(graph);

    EXPECT_INVALID_KEY(graph.GetDataFromPin(CreateGUID()));
    EXPECT_INVALID_KEY(graph.PutDataOnPin(CreateGUID(), test::Int(2)));
    EXPECT_INVALID_KEY(graph.PutDataOnPin(CreateGUID(), test::Double(2.0)));
    EXPECT_INVALID_KEY(graph.PutDataOnPin(CreateGUID(), nullptr));

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(GraphPinDataTest, WrongTypeThroughTheGraphChangesNothing) {
    graph.PutDataOnPin(output, test::Int(1));
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(graph.PutDataOnPin(output, test::Text("one")),
                           "Data value has incorrect type");

    EXPECT_EQ(GraphSnapshot(graph), before);
}

// The host may write output pins too; the write goes to that pin alone, not along its links.
TEST_F(GraphPinDataTest, OutputPinIsWrittenLikeAnyOtherAndNothingMovesDownstream) {
    graph.LinkPins(output, input);
    const auto value = test::Int(5);

    graph.PutDataOnPin(output, value);

    EXPECT_EQ(graph.GetDataFromPin(output), value);
    EXPECT_TRUE(graph.GetConstPin(output).HasUpdatedData());
    EXPECT_EQ(graph.GetDataFromPin(input), nullptr);
    EXPECT_FALSE(graph.GetConstPin(input).HasUpdatedData());
}

TEST_F(GraphPinDataTest, OneValueSitsOnTwoPinsUntilOneIsOverwritten) {
    const auto shared = test::Int(6);
    graph.PutDataOnPin(input, shared);
    graph.PutDataOnPin(output, shared);
    EXPECT_EQ(graph.GetDataFromPin(input), shared);
    EXPECT_EQ(graph.GetDataFromPin(output), shared);

    graph.PutDataOnPin(output, test::Int(7));

    EXPECT_EQ(graph.GetDataFromPin(input), shared);
    EXPECT_EQ(test::IntOf(graph.GetDataFromPin(input)), 6);
    EXPECT_EQ(test::IntOf(graph.GetDataFromPin(output)), 7);
}

} // namespace
} // namespace datagraph
