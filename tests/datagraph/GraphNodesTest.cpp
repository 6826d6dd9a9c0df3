#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

using test::GraphSnapshot;
using test::IntValue;

// a.out --+--> b.in[0]     (b.in[0] holds 0, b.in[1] holds 1)
//         +--> b.in[1]
//         +--> c.in[0]
class GraphNodesTest : public ::testing::Test {
protected:
    void SetUp() override {
        graph.LinkPins(a.out[0], b.in[0]);
        graph.LinkPins(a.out[0], b.in[1]);
        graph.LinkPins(a.out[0], c.in[0]);
        graph.PutDataOnPin(b.in[0], test::Int(0));
        graph.PutDataOnPin(b.in[1], test::Int(1));
    }

    Graph graph{CreateGUID()};
    const test::PinnedNode a = test::AddPinnedNode(graph, 1, 1);
    const test::PinnedNode b = test::AddPinnedNode(graph, 2, 0);
    const test::PinnedNode c = test::AddPinnedNode(graph, 1, 0);
};

TEST_F(GraphNodesTest, ClashingPinIdLeavesTheGraphExactlyAsItWas) {
    const GUID shared = CreateGUID();
    const GUID cases[][2] = {{shared, shared}, {CreateGUID(), b.in[1]}};
    const GraphSnapshot before(graph);

    for (const auto& [input, output] : cases) {
        // Fresh pins on both sides, so that any pin made before the clash would show.
        auto function = std::make_shared<test::StubFunction>();
        function->AddInput(typeid(IntValue));
        function->AddOutput(typeid(IntValue));
        function->AddInput(typeid(IntValue), input);
        function->AddOutput(typeid(IntValue), output);

        EXPECT_GRAPH_EXCEPTION(graph.CreateNode(function, GetNullGUID()),
                               "Requested pin id is already being used by another pin.");

        EXPECT_FALSE(graph.HasNode(function->GetId()));
        EXPECT_EQ(GraphSnapshot(graph), before);
    }
}

TEST_F(GraphNodesTest, DestroyingAPinRemovesItsLinksAndLinkedPinsKeepTheirData) {
    graph.DestroyInputPin(b.id, b.in[0]);

    EXPECT_FALSE(graph.HasPin(b.in[0]));
    EXPECT_EQ(graph.GetDownstreamPins(a.out[0]), (IdentifierSet{b.in[1], c.in[0]}));

    graph.DestroyOutputPin(a.id, a.out[0]);

    EXPECT_TRUE(graph.GetPinToPinEdges().empty());
    EXPECT_FALSE(graph.HasUpstreamPin(b.in[1]));
    EXPECT_EQ(test::IntOf(graph.GetDataFromPin(b.in[1])), 1);
    EXPECT_EQ(graph.GetInputPins(a.id), IdentifierSet{a.in[0]});
}

} // namespace
} // namespace datagraph
