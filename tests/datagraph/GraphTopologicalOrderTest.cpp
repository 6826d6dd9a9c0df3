#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

namespace datagraph {
namespace {

using test::AddPinnedNode;
using test::PinnedNode;

// n1 -+-> n2 -+-> n4 --> n5 --> n4
//     +-> n3 -+          (n5 and its link back come second)
TEST(GraphTopologicalOrderTest, DiamondIsListedSourceFirstUntilACycleMakesTheOrderFail) {
    Graph graph(CreateGUID());
    const PinnedNode n4 = AddPinnedNode(graph, 3, 1);
    const PinnedNode n3 = AddPinnedNode(graph, 1, 1);
    const PinnedNode n2 = AddPinnedNode(graph, 1, 1);
    const PinnedNode n1 = AddPinnedNode(graph, 0, 1);
    graph.LinkPins(n1.out[0], n2.in[0]);
    graph.LinkPins(n1.out[0], n3.in[0]);
    graph.LinkPins(n2.out[0], n4.in[0]);
    graph.LinkPins(n3.out[0], n4.in[1]);

    const IdentifierList order = graph.GetNodesInTopologicalOrder();

    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], n1.id);
    EXPECT_EQ((IdentifierSet{order[1], order[2]}), (IdentifierSet{n2.id, n3.id}));
    EXPECT_EQ(order[3], n4.id);

    const PinnedNode n5 = AddPinnedNode(graph, 1, 1);
    graph.LinkPins(n4.out[0], n5.in[0]);
    graph.LinkPins(n5.out[0], n4.in[2]);
    const test::GraphSnapshot before(graph);
    EXPECT_GRAPH_EXCEPTION(graph.GetNodesInTopologicalOrder(),
                           "Topo sort did not account for all nodes.");
    EXPECT_EQ(test::GraphSnapshot(graph), before);
}

} // namespace
} // namespace datagraph
