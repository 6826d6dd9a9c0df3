#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace datagraph {
namespace {

using test::GraphSnapshot;
using SubgraphMap = Graph::NodeToExecutionSubgraphMap;

class GraphExecutionSubgraphsTest : public ::testing::Test {
protected:
    GUID AddNode(const GUID& subgraph) {
        auto function = std::make_shared<test::StubFunction>();
        function->AddInput(typeid(test::IntValue));
        const GUID id = function->GetId();
        graph.CreateNode(function, subgraph);
        return id;
    }

    const GUID defaultSubgraph = CreateGUID();
    Graph graph{defaultSubgraph};
    const GUID s1 = CreateGUID();
    const GUID s2 = CreateGUID();
};

TEST_F(GraphExecutionSubgraphsTest, NewGraphHasItsDefaultIdAndNoSubgraphs) {
    EXPECT_EQ(graph.GetDefaultExecutionSubgraphID(), defaultSubgraph);
    EXPECT_EQ(graph.GetExecutionSubgraphs(), IdentifierSet{});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(defaultSubgraph), IdentifierSet{});
    EXPECT_TRUE(graph.GetNodeToExecutionSubgraphMap().empty());
}

TEST_F(GraphExecutionSubgraphsTest, NodesAreFiledUnderTheGivenOrTheDefaultSubgraph) {
    const GUID inDefault = AddNode(GetNullGUID());
    const GUID inS1 = AddNode(s1);

    EXPECT_EQ(graph.GetExecutionSubgraphs(), (IdentifierSet{defaultSubgraph, s1}));
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(defaultSubgraph), IdentifierSet{inDefault});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(s1), IdentifierSet{inS1});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(GetNullGUID()), IdentifierSet{});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(s2), IdentifierSet{});
    EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap(),
              (SubgraphMap{{inDefault, defaultSubgraph}, {inS1, s1}}));
}

// The GUID order compares the bytes as unsigned values, byte 0 first: 7f.. comes before 80..,
// and 00ff.. before 0100.. although its later bytes are larger.
TEST_F(GraphExecutionSubgraphsTest, NodeInTwoSubgraphsMapsToTheSmallerGuid) {
    const std::pair<const char*, const char*> smallerLarger[] = {
        {"7fffffff-ffff-ffff-ffff-ffffffffffff", "80000000-0000-0000-0000-000000000000"},
        {"00ffffff-ffff-ffff-ffff-ffffffffffff", "01000000-0000-0000-0000-000000000000"},
        {"00000000-0000-0000-0000-0000000000fe", "00000000-0000-0000-0000-0000000000ff"},
    };
    for (const auto& [smallerText, largerText] : smallerLarger) {
        SCOPED_TRACE(smallerText);
        const GUID smaller = GUIDFromString(smallerText), larger = GUIDFromString(largerText);
        const GUID createdInLarger = AddNode(larger);
        graph.AssignNodeToExecutionSubgraphs(createdInLarger, smaller);
        const GUID createdInSmaller = AddNode(smaller);
        graph.AssignNodeToExecutionSubgraphs(createdInSmaller, larger);

        const IdentifierSet both{createdInLarger, createdInSmaller};
        EXPECT_EQ(graph.GetNodesInExecutionSubgraph(smaller), both);
        EXPECT_EQ(graph.GetNodesInExecutionSubgraph(larger), both);
        EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap(),
                  (SubgraphMap{{createdInLarger, smaller}, {createdInSmaller, smaller}}));
        graph.Clear();
    }
}

TEST_F(GraphExecutionSubgraphsTest, RepeatedAssignmentChangesNoQuery) {
    const GUID node = AddNode(s1);
    graph.AssignNodeToExecutionSubgraphs(node, s2);
    const GraphSnapshot before(graph);

    graph.AssignNodeToExecutionSubgraphs(node, s1);
    graph.AssignNodeToExecutionSubgraphs(node, s2);
    graph.AssignNodeToExecutionSubgraphs(node, s2);

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(GraphExecutionSubgraphsTest, DestroyingANodeRemovesItFromEverySubgraph) {
    const GUID twice = AddNode(s1);
    const GUID stays = AddNode(s1);
    graph.AssignNodeToExecutionSubgraphs(twice, s2);
    graph.AssignNodeToExecutionSubgraphs(twice, s2);
    graph.AssignNodeToExecutionSubgraphs(twice, defaultSubgraph);

    graph.DestroyNode(twice);

    EXPECT_EQ(graph.GetExecutionSubgraphs(), IdentifierSet{s1});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(s1), IdentifierSet{stays});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(s2), IdentifierSet{});
    EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap(), (SubgraphMap{{stays, s1}}));

    graph.DestroyNode(stays);
    EXPECT_EQ(graph.GetExecutionSubgraphs(), IdentifierSet{});
}

// Assignment checks nothing, so an id that names no node is listed like a node until it is
// destroyed by id.
TEST_F(GraphExecutionSubgraphsTest, AssignedAbsentNodeIsListedLikeANode) {
    const GUID node = AddNode(s1);
    const GUID ghost = CreateGUID();

    graph.AssignNodeToExecutionSubgraphs(ghost, s1);
    graph.AssignNodeToExecutionSubgraphs(ghost, s2);

    EXPECT_FALSE(graph.HasNode(ghost));
    EXPECT_EQ(graph.GetExecutionSubgraphs(), (IdentifierSet{s1, s2}));
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(s1), (IdentifierSet{node, ghost}));
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(s2), IdentifierSet{ghost});
    EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap().at(ghost), std::min(s1, s2));

    graph.DestroyNode(ghost);
    EXPECT_EQ(graph.GetExecutionSubgraphs(), IdentifierSet{s1});
    EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap(), (SubgraphMap{{node, s1}}));
}

TEST_F(GraphExecutionSubgraphsTest, NullSubgraphIsStoredAsGivenByAssignment) {
    const GUID node = AddNode(GetNullGUID());

    graph.AssignNodeToExecutionSubgraphs(node, GetNullGUID());

    EXPECT_EQ(graph.GetExecutionSubgraphs(), (IdentifierSet{defaultSubgraph, GetNullGUID()}));
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(GetNullGUID()), IdentifierSet{node});
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(defaultSubgraph), IdentifierSet{node});
    EXPECT_EQ(graph.GetNodeToExecutionSubgraphMap(), (SubgraphMap{{node, GetNullGUID()}}));
}

} // namespace
} // namespace datagraph
