#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace datagraph {
namespace {

using test::AddPinnedNode;
using test::GraphSnapshot;
using test::PinnedNode;
using LinkList = std::vector<std::pair<GUID, GUID>>;

/// A GUID whose place in the GUID order is its number.
GUID Id(unsigned number) {
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-0000-0000-%012x", number);
    return GUIDFromString(text);
}

class GraphLinksTest : public ::testing::Test {
protected:
    LinkList Links() const {
        return {graph.GetPinToPinEdges().begin(), graph.GetPinToPinEdges().end()};
    }

    Graph graph{CreateGUID()};
};

// The table is ordered by upstream pin; the links of one upstream pin keep the order in which
// they were made, which here is the reverse of the GUID order of the downstream pins.
TEST_F(GraphLinksTest, LinksOfOneOutputPinStayInCreationOrderThroughEdits) {
    AddPinnedNode(graph, {}, {Id(7)});
    AddPinnedNode(graph, {}, {Id(3)});
    AddPinnedNode(graph, {Id(19), Id(15), Id(11), Id(12)}, {});

    graph.LinkPins(Id(7), Id(19));
    graph.LinkPins(Id(7), Id(15));
    graph.LinkPins(Id(3), Id(12));
    graph.LinkPins(Id(7), Id(11));
    EXPECT_EQ(Links(),
              (LinkList{{Id(3), Id(12)}, {Id(7), Id(19)}, {Id(7), Id(15)}, {Id(7), Id(11)}}));

    graph.UnlinkPins(Id(7), Id(15));
    graph.LinkPins(Id(7), Id(15));
    graph.UnlinkInputPin(Id(19));
    EXPECT_EQ(Links(), (LinkList{{Id(3), Id(12)}, {Id(7), Id(11)}, {Id(7), Id(15)}}));
    EXPECT_EQ(graph.GetDownstreamPins(Id(7)), (IdentifierSet{Id(11), Id(15)}));
    EXPECT_EQ(graph.GetUpstreamPin(Id(15)), Id(7));
    EXPECT_EQ(graph.GetUpstreamPin(Id(19)), GetNullGUID());
}

// A host may keep the reference: it follows later edits, assignment from another graph and Clear.
TEST_F(GraphLinksTest, TheLinkTableAHostHoldsStaysLiveThroughAssignmentAndClear) {
    AddPinnedNode(graph, {}, {Id(7)});
    AddPinnedNode(graph, {Id(19)}, {});
    const std::multimap<GUID, GUID>& held = graph.GetPinToPinEdges();
    graph.LinkPins(Id(7), Id(19));
    EXPECT_EQ(LinkList(held.begin(), held.end()), (LinkList{{Id(7), Id(19)}}));

    Graph other(CreateGUID());
    AddPinnedNode(other, {}, {Id(4)});
    AddPinnedNode(other, {Id(9), Id(8)}, {});
    other.LinkPins(Id(4), Id(9));
    other.LinkPins(Id(4), Id(8));
    graph = other;
    EXPECT_EQ(&graph.GetPinToPinEdges(), &held);
    EXPECT_EQ(LinkList(held.begin(), held.end()), (LinkList{{Id(4), Id(9)}, {Id(4), Id(8)}}));
    graph.UnlinkPins(Id(4), Id(9));
    EXPECT_EQ(LinkList(held.begin(), held.end()), (LinkList{{Id(4), Id(8)}}));

    graph.Clear();
    EXPECT_TRUE(held.empty());
}

// n1 -+-> n2 -+-> n4
//     +-> n3 -+
TEST_F(GraphLinksTest, DiamondNeighboursAreDirectAndASecondUpstreamLinkIsRefused) {
    const PinnedNode n1 = AddPinnedNode(graph, 0, 1);
    const PinnedNode n2 = AddPinnedNode(graph, 1, 1);
    const PinnedNode n3 = AddPinnedNode(graph, 1, 1);
    const PinnedNode n4 = AddPinnedNode(graph, 2, 0);
    graph.LinkPins(n1.out[0], n2.in[0]);
    graph.LinkPins(n1.out[0], n3.in[0]);
    graph.LinkPins(n2.out[0], n4.in[0]);
    graph.LinkPins(n3.out[0], n4.in[1]);

    EXPECT_EQ(graph.GetOutputNodes(n1.id), (IdentifierSet{n2.id, n3.id}));
    EXPECT_EQ(graph.GetInputNodes(n2.id), IdentifierSet{n1.id});
    EXPECT_EQ(graph.GetInputNodes(n4.id), (IdentifierSet{n2.id, n3.id}));
    EXPECT_TRUE(graph.GetOutputNodes(n4.id).empty());
    EXPECT_FALSE(graph.NodeIsUnconnected(n4.id));

    const GraphSnapshot before(graph);
    EXPECT_GRAPH_EXCEPTION(
        graph.LinkPins(n1.out[0], n4.in[0]),
        "The input pin is already connected to a different upstream output pin.");
    EXPECT_EQ(GraphSnapshot(graph), before);
}

} // namespace
} // namespace datagraph
