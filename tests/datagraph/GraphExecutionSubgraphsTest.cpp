#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

using SubgraphMap = Graph::NodeToExecutionSubgraphMap;

// The GUID order compares the bytes as unsigned values, byte 0 first: 7f.. comes before 80..
TEST(GraphExecutionSubgraphsTest, NodeInTwoSubgraphsMapsToTheSmallerGuidUntilItIsDestroyed) {
    const GUID defaultSubgraph = CreateGUID();
    Graph graph(defaultSubgraph);
    const GUID smaller = GUIDFromString("7fffffff-ffff-ffff-ffff-ffffffffffff");
    const GUID larger = GUIDFromString("80000000-0000-0000-0000-000000000000");
    const auto function = std::make_shared<test::StubFunction>();
    const auto stays = std::make_shared<test::StubFunction>();
    graph.CreateNode(function, larger);
    graph.CreateNode(stays, GetNullGUID());
    graph.AssignNodeToExecutionSubgraphs(function->GetId(), smaller);
    graph.AssignNodeToExecutionSubgraphs(function->GetId(), smaller);

    EXPECT_EQ(graph.GetExecutionSubgraphs(), (IdentifierSet{defaultSubgraph, smaller, larger}));
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(larger), IdentifierSet{function->GetId()});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(defaultSubgraph), IdentifierSet{stays->GetId()});
    EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap(),
              (SubgraphMap{{function->GetId(), smaller}, {stays->GetId(), defaultSubgraph}}));

    graph.DestroyNode(function->GetId());

    EXPECT_EQ(graph.GetExecutionSubgraphs(), IdentifierSet{defaultSubgraph});
    EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap(),
              (SubgraphMap{{stays->GetId(), defaultSubgraph}}));
}

} // namespace
} // namespace datagraph
