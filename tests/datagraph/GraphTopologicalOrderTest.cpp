#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

namespace datagraph {
namespace {

using test::GraphSnapshot;

using TestNode = test::PinnedNode;

class GraphTopologicalOrderTest : public ::testing::Test {
protected:
    TestNode AddNode(int inputs, int outputs, const std::function<GUID()>& newId = CreateGUID) {
        return test::AddPinnedNode(graph, inputs, outputs, newId);
    }

    void ExpectOrderFailure(const char* message) {
        const GraphSnapshot before(graph);
        EXPECT_GRAPH_EXCEPTION(graph.GetNodesInTopologicalOrder(), message);
        EXPECT_EQ(GraphSnapshot(graph), before);
    }

    Graph graph{CreateGUID()};
};

TEST_F(GraphTopologicalOrderTest, EmptyGraphGivesAnEmptyOrder) {
    EXPECT_TRUE(graph.GetNodesInTopologicalOrder().empty());
}

TEST_F(GraphTopologicalOrderTest, UnlinkedNodesAreAllListedOnce) {
    std::vector<GUID> ids;
    for (int i = 0; i < 5; ++i) {
        ids.push_back(AddNode(1, 1).id);
    }
    std::sort(ids.begin(), ids.end());

    IdentifierList order = graph.GetNodesInTopologicalOrder();

    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, ids);
}

TEST_F(GraphTopologicalOrderTest, ChainIsListedInLinkOrder) {
    const TestNode n3 = AddNode(1, 0);
    const TestNode n1 = AddNode(0, 1);
    const TestNode n2 = AddNode(1, 1);
    graph.LinkPins(n2.out[0], n3.in[0]);
    graph.LinkPins(n1.out[0], n2.in[0]);

    EXPECT_EQ(graph.GetNodesInTopologicalOrder(), (IdentifierList{n1.id, n2.id, n3.id}));
}

// n1 -+-> n2 -+-> n4
//     +-> n3 -+
TEST_F(GraphTopologicalOrderTest, DiamondStartsWithItsSourceAndEndsWithItsSink) {
    const TestNode n4 = AddNode(2, 0);
    const TestNode n3 = AddNode(1, 1);
    const TestNode n2 = AddNode(1, 1);
    const TestNode n1 = AddNode(0, 1);
    graph.LinkPins(n1.out[0], n2.in[0]);
    graph.LinkPins(n1.out[0], n3.in[0]);
    graph.LinkPins(n2.out[0], n4.in[0]);
    graph.LinkPins(n3.out[0], n4.in[1]);

    const IdentifierList order = graph.GetNodesInTopologicalOrder();

    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], n1.id);
    EXPECT_EQ((IdentifierSet{order[1], order[2]}), (IdentifierSet{n2.id, n3.id}));
    EXPECT_EQ(order[3], n4.id);
}

TEST_F(GraphTopologicalOrderTest, TwoLinksBetweenTwoNodesCountOnce) {
    const TestNode n2 = AddNode(2, 0);
    const TestNode n1 = AddNode(0, 2);
    graph.LinkPins(n1.out[0], n2.in[0]);
    graph.LinkPins(n1.out[1], n2.in[1]);

    EXPECT_EQ(graph.GetNodesInTopologicalOrder(), (IdentifierList{n1.id, n2.id}));
}

TEST_F(GraphTopologicalOrderTest, SelfLinkIsACycle) {
    const TestNode a = AddNode(1, 1);
    graph.LinkPins(a.out[0], a.in[0]);

    ExpectOrderFailure("Topo sort did not account for all nodes.");
}

// source -> c1 -> c2 -> c3 -> c1, c3 -> after; and an acyclic pair elsewhere.
TEST_F(GraphTopologicalOrderTest, CyclesAmongAcyclicNodesAreRefused) {
    const TestNode x = AddNode(0, 1);
    const TestNode y = AddNode(1, 0);
    graph.LinkPins(x.out[0], y.in[0]);
    const TestNode p = AddNode(1, 1);
    const TestNode q = AddNode(1, 1);
    graph.LinkPins(p.out[0], q.in[0]);
    graph.LinkPins(q.out[0], p.in[0]);
    ExpectOrderFailure("Topo sort did not account for all nodes.");

    graph.DestroyNode(p.id);
    graph.DestroyNode(q.id);
    ASSERT_EQ(graph.GetNodesInTopologicalOrder().size(), 2u);
    const TestNode source = AddNode(0, 1);
    const TestNode c1 = AddNode(2, 1);
    const TestNode c2 = AddNode(1, 1);
    const TestNode c3 = AddNode(1, 2);
    const TestNode after = AddNode(1, 0);
    graph.LinkPins(source.out[0], c1.in[0]);
    graph.LinkPins(c1.out[0], c2.in[0]);
    graph.LinkPins(c2.out[0], c3.in[0]);
    graph.LinkPins(c3.out[0], c1.in[1]);
    graph.LinkPins(c3.out[1], after.in[0]);
    ExpectOrderFailure("Topo sort did not account for all nodes.");
}

// LinkPins accepts links between pins of one side; their neighbour relations no longer mirror
// each other, which the order detects in two different ways.
TEST_F(GraphTopologicalOrderTest, OutputToOutputLinkMakesTheTopologyIncorrect) {
    const TestNode a = AddNode(0, 1);
    const TestNode b = AddNode(0, 1);
    graph.LinkPins(a.out[0], b.out[0]);

    ExpectOrderFailure("Graph topology is incorrect.");
}

TEST_F(GraphTopologicalOrderTest, InputToInputLinkLeavesNodesUnaccountedFor) {
    const TestNode a = AddNode(1, 0);
    const TestNode b = AddNode(1, 0);
    graph.LinkPins(a.in[0], b.in[0]);

    ExpectOrderFailure("Topo sort did not account for all nodes.");
}

// Nodes are created in shuffled rank order; each input pin is linked, or left alone, from an
// output pin of a node of lower rank. The ids come from the seeded engine too, so each seed
// always gives the same graph.
TEST_F(GraphTopologicalOrderTest, RandomAcyclicGraphsListEveryNodeOnceWithLinksPointingForward) {
    for (unsigned seed : {1u, 2u, 3u, 42u}) {
        SCOPED_TRACE(seed);
        graph.Clear();
        std::mt19937 random(seed);
        const int nodeCount = 300;
        const auto newId = [&random] {
            GUID id;
            std::generate(id.begin(), id.end(), [&random] { return std::uint8_t(random()); });
            return id;
        };
        std::vector<TestNode> byCreation;
        for (int i = 0; i < nodeCount; ++i) {
            byCreation.push_back(AddNode(3, 2, newId));
        }
        std::vector<TestNode> byRank = byCreation;
        std::shuffle(byRank.begin(), byRank.end(), random);
        for (int rank = 1; rank < nodeCount; ++rank) {
            for (const GUID& input : byRank[rank].in) {
                if (random() % 4 != 0) {
                    const TestNode& from = byRank[random() % rank];
                    graph.LinkPins(from.out[random() % from.out.size()], input);
                }
            }
        }

        const IdentifierList order = graph.GetNodesInTopologicalOrder();

        std::unordered_map<GUID, std::size_t, boost::hash<GUID>> position;
        for (std::size_t i = 0; i < order.size(); ++i) {
            position.emplace(order[i], i);
        }
        EXPECT_EQ(order.size(), std::size_t(nodeCount));
        EXPECT_EQ(position.size(), std::size_t(nodeCount));
        for (const TestNode& node : byCreation) {
            EXPECT_EQ(position.count(node.id), 1u);
        }
        for (const auto& [from, to] : graph.GetPinToPinEdges()) {
            EXPECT_LT(position.at(graph.GetOwningNode(from)), position.at(graph.GetOwningNode(to)));
        }
    }
}

} // namespace
} // namespace datagraph
