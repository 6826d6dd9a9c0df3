#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace datagraph {
namespace {

using test::GraphSnapshot;
using LinkList = std::vector<std::pair<GUID, GUID>>;

/// A GUID whose place in the GUID order is its number.
GUID Id(unsigned number) {
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-0000-0000-%012x", number);
    return GUIDFromString(text);
}

using TestNode = test::PinnedNode;

class GraphLinksTest : public ::testing::Test {
protected:
    TestNode AddNode(std::vector<GUID> inputs, std::vector<GUID> outputs) {
        return test::AddPinnedNode(graph, std::move(inputs), std::move(outputs));
    }

    TestNode AddNode(int inputs, int outputs) {
        return test::AddPinnedNode(graph, inputs, outputs);
    }

    /// The table order: by upstream pin, and the links of one upstream pin as listed.
    static LinkList InTableOrder(LinkList links) {
        std::stable_sort(links.begin(), links.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        return links;
    }

    LinkList Links() const {
        return {graph.GetPinToPinEdges().begin(), graph.GetPinToPinEdges().end()};
    }

    Graph graph{CreateGUID()};
};

// The table is ordered by upstream pin; the links of one upstream pin keep the order in which
// they were made, which here is the reverse of the GUID order of the downstream pins.
TEST_F(GraphLinksTest, LinksOfOneOutputPinStayInCreationOrderThroughEdits) {
    AddNode({}, {Id(7)});
    AddNode({}, {Id(3)});
    AddNode({Id(19), Id(15), Id(11), Id(12)}, {});

    graph.LinkPins(Id(7), Id(19));
    EXPECT_EQ(Links(), (LinkList{{Id(7), Id(19)}}));
    graph.LinkPins(Id(7), Id(15));
    graph.LinkPins(Id(3), Id(12));
    EXPECT_EQ(Links(), (LinkList{{Id(3), Id(12)}, {Id(7), Id(19)}, {Id(7), Id(15)}}));
    graph.LinkPins(Id(7), Id(11));
    EXPECT_EQ(Links(),
              (LinkList{{Id(3), Id(12)}, {Id(7), Id(19)}, {Id(7), Id(15)}, {Id(7), Id(11)}}));
    EXPECT_EQ(graph.GetDownstreamPins(Id(7)), (IdentifierSet{Id(19), Id(15), Id(11)}));
    for (const GUID& pinId : {Id(19), Id(15), Id(11)}) {
        EXPECT_TRUE(graph.HasUpstreamPin(pinId));
        EXPECT_EQ(graph.GetUpstreamPin(pinId), Id(7));
    }

    graph.UnlinkPins(Id(7), Id(15));
    EXPECT_EQ(Links(), (LinkList{{Id(3), Id(12)}, {Id(7), Id(19)}, {Id(7), Id(11)}}));
    graph.LinkPins(Id(7), Id(15));
    EXPECT_EQ(Links(),
              (LinkList{{Id(3), Id(12)}, {Id(7), Id(19)}, {Id(7), Id(11)}, {Id(7), Id(15)}}));
    graph.UnlinkInputPin(Id(19));
    EXPECT_EQ(Links(), (LinkList{{Id(3), Id(12)}, {Id(7), Id(11)}, {Id(7), Id(15)}}));
    EXPECT_EQ(graph.GetDownstreamPins(Id(7)), (IdentifierSet{Id(11), Id(15)}));
    EXPECT_EQ(graph.GetUpstreamPin(Id(19)), GetNullGUID());
}

TEST_F(GraphLinksTest, LinkingMovesNoDataAndRelinkingChangesNothing) {
    const TestNode a = AddNode(0, 1);
    const TestNode b = AddNode(2, 0);
    graph.PutDataOnPin(a.out[0], test::Int(4));
    graph.LinkPins(a.out[0], b.in[0]);
    graph.LinkPins(a.out[0], b.in[1]);
    EXPECT_EQ(graph.GetDataFromPin(b.in[0]), nullptr);
    EXPECT_FALSE(graph.GetConstPin(b.in[0]).HasUpdatedData());
    const GraphSnapshot before(graph);

    graph.LinkPins(a.out[0], b.in[0]);

    EXPECT_EQ(GraphSnapshot(graph), before);
    EXPECT_EQ(Links().size(), 2u);
}

TEST_F(GraphLinksTest, SecondUpstreamLinkIsRefusedAndLinksAreUnchanged) {
    const TestNode a = AddNode(0, 2);
    const TestNode b = AddNode(1, 0);
    graph.LinkPins(a.out[0], b.in[0]);
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(
        graph.LinkPins(a.out[1], b.in[0]),
        "The input pin is already connected to a different upstream output pin.");

    EXPECT_EQ(GraphSnapshot(graph), before);
    EXPECT_EQ(graph.GetUpstreamPin(b.in[0]), a.out[0]);
}

TEST_F(GraphLinksTest, LinkingAMissingPinIsRefusedOutputPinFirst) {
    const TestNode a = AddNode(0, 1);
    const TestNode b = AddNode(1, 0);
    const GUID missing = CreateGUID();
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(graph.LinkPins(missing, b.in[0]), "Output pin does not exist.");
    EXPECT_GRAPH_EXCEPTION(graph.LinkPins(a.out[0], missing), "Input pin does not exist.");
    EXPECT_GRAPH_EXCEPTION(graph.LinkPins(missing, CreateGUID()), "Output pin does not exist.");

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(GraphLinksTest, UnlinkingAPairThatIsNotLinkedFailsWithEmptyMessage) {
    const TestNode a = AddNode(0, 2);
    const TestNode b = AddNode(2, 0);
    graph.LinkPins(a.out[0], b.in[0]);
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(graph.UnlinkPins(a.out[1], b.in[0]), "");          // other upstream pin
    EXPECT_GRAPH_EXCEPTION(graph.UnlinkPins(a.out[0], b.in[1]), "");          // input pin unlinked
    EXPECT_GRAPH_EXCEPTION(graph.UnlinkPins(CreateGUID(), CreateGUID()), ""); // no such pins

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(GraphLinksTest, UnlinkInputPinWithoutUpstreamPinDoesNothing) {
    const TestNode a = AddNode(1, 1);
    const TestNode b = AddNode(1, 0);
    graph.LinkPins(a.out[0], b.in[0]);
    const GraphSnapshot before(graph);

    for (const GUID& pinId : {a.in[0], a.out[0], CreateGUID()}) {
        EXPECT_FALSE(graph.HasUpstreamPin(pinId));
        EXPECT_EQ(graph.GetUpstreamPin(pinId), GetNullGUID());
        graph.UnlinkInputPin(pinId);
    }

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(GraphLinksTest, InputPinMovesToANewUpstreamPinOnlyAfterUnlinking) {
    const TestNode a = AddNode(0, 1);
    const TestNode b = AddNode(0, 1);
    const TestNode c = AddNode(2, 0);
    graph.LinkPins(a.out[0], c.in[0]);
    graph.LinkPins(a.out[0], c.in[1]);

    EXPECT_GRAPH_EXCEPTION(
        graph.LinkPins(b.out[0], c.in[0]),
        "The input pin is already connected to a different upstream output pin.");
    graph.UnlinkInputPin(c.in[0]);
    graph.LinkPins(b.out[0], c.in[0]);

    EXPECT_EQ(graph.GetUpstreamPin(c.in[0]), b.out[0]);
    EXPECT_EQ(graph.GetDownstreamPins(a.out[0]), IdentifierSet{c.in[1]});
    EXPECT_EQ(graph.GetDownstreamPins(b.out[0]), IdentifierSet{c.in[0]});
}

// n1 -+-> n2 -+-> n4
//     +-> n3 -+
TEST_F(GraphLinksTest, DiamondNeighboursAreDirectOnly) {
    const TestNode n1 = AddNode(0, 1);
    const TestNode n2 = AddNode(1, 1);
    const TestNode n3 = AddNode(1, 1);
    const TestNode n4 = AddNode(2, 0);
    graph.LinkPins(n1.out[0], n2.in[0]);
    graph.LinkPins(n1.out[0], n3.in[0]);
    graph.LinkPins(n2.out[0], n4.in[0]);
    graph.LinkPins(n3.out[0], n4.in[1]);

    EXPECT_EQ(graph.GetInputNodes(n1.id), IdentifierSet{});
    EXPECT_EQ(graph.GetOutputNodes(n1.id), (IdentifierSet{n2.id, n3.id}));
    EXPECT_EQ(graph.GetInputNodes(n2.id), IdentifierSet{n1.id});
    EXPECT_EQ(graph.GetOutputNodes(n2.id), IdentifierSet{n4.id});
    EXPECT_EQ(graph.GetInputNodes(n4.id), (IdentifierSet{n2.id, n3.id}));
    EXPECT_EQ(graph.GetOutputNodes(n4.id), IdentifierSet{});
}

TEST_F(GraphLinksTest, TwoLinksBetweenTheSameNodesGiveOneNeighbour) {
    const TestNode a = AddNode(0, 2);
    const TestNode b = AddNode(2, 0);
    graph.LinkPins(a.out[0], b.in[0]);
    graph.LinkPins(a.out[1], b.in[1]);

    EXPECT_EQ(graph.GetInputNodes(b.id), IdentifierSet{a.id});
    EXPECT_EQ(graph.GetOutputNodes(a.id), IdentifierSet{b.id});
}

TEST_F(GraphLinksTest, SelfLinkedNodeIsItsOwnNeighbour) {
    const TestNode a = AddNode(1, 1);
    graph.LinkPins(a.out[0], a.in[0]);

    EXPECT_EQ(graph.GetInputNodes(a.id), IdentifierSet{a.id});
    EXPECT_EQ(graph.GetOutputNodes(a.id), IdentifierSet{a.id});
    EXPECT_FALSE(graph.NodeIsUnconnected(a.id));
}

TEST_F(GraphLinksTest, NodeIsUnconnectedOnlyWithoutLinksOnEitherSide) {
    const TestNode pinless = AddNode(0, 0);
    const TestNode unlinked = AddNode(1, 1);
    const TestNode source = AddNode(0, 1);
    const TestNode sink = AddNode(1, 0);
    graph.LinkPins(source.out[0], sink.in[0]);

    EXPECT_TRUE(graph.NodeIsUnconnected(pinless.id));
    EXPECT_TRUE(graph.NodeIsUnconnected(unlinked.id));
    EXPECT_TRUE(graph.NodeIsUnconnected(CreateGUID()));
    EXPECT_FALSE(graph.NodeIsUnconnected(source.id));
    EXPECT_FALSE(graph.NodeIsUnconnected(sink.id));

    graph.UnlinkInputPin(sink.in[0]);
    EXPECT_TRUE(graph.NodeIsUnconnected(source.id));
    EXPECT_TRUE(graph.NodeIsUnconnected(sink.id));
}

TEST_F(GraphLinksTest, OwningNodeOfEitherSideIsItsNodeAndUnknownPinsFail) {
    const TestNode a = AddNode(1, 1);
    const TestNode b = AddNode(1, 0);

    EXPECT_EQ(graph.GetOwningNode(a.in[0]), a.id);
    EXPECT_EQ(graph.GetOwningNode(a.out[0]), a.id);
    EXPECT_EQ(graph.GetOwningNode(b.in[0]), b.id);
    EXPECT_GRAPH_EXCEPTION(graph.GetOwningNode(CreateGUID()), "Pin not associated with a node.");
    EXPECT_GRAPH_EXCEPTION(graph.GetOwningNode(a.id), "Pin not associated with a node.");

    graph.DestroyInputPin(b.id, b.in[0]);
    EXPECT_GRAPH_EXCEPTION(graph.GetOwningNode(b.in[0]), "Pin not associated with a node.");
}

// LinkPins does not check the sides of its pins; an input-to-input link is kept as given.
TEST_F(GraphLinksTest, InputToInputLinkIsStoredAsGiven) {
    const TestNode a = AddNode(1, 0);
    const TestNode b = AddNode(1, 0);

    graph.LinkPins(a.in[0], b.in[0]);

    EXPECT_EQ(Links(), (LinkList{{a.in[0], b.in[0]}}));
    EXPECT_EQ(graph.GetUpstreamPin(b.in[0]), a.in[0]);
    EXPECT_EQ(graph.GetDownstreamPins(a.in[0]), IdentifierSet{b.in[0]});
    EXPECT_EQ(graph.GetInputNodes(b.id), IdentifierSet{a.id});
    // An input pin without an upstream pin offers its downstream pins as the input side.
    EXPECT_EQ(graph.GetInputNodes(a.id), IdentifierSet{b.id});
    EXPECT_EQ(graph.GetOutputNodes(a.id), IdentifierSet{});
}

TEST_F(GraphLinksTest, DestroyingAPinRemovesEveryLinkNamingItAtEitherEnd) {
    const TestNode a = AddNode(1, 1);
    const TestNode b = AddNode(2, 1);
    const TestNode c = AddNode(2, 0);
    graph.LinkPins(a.out[0], b.in[0]);
    graph.LinkPins(a.out[0], b.in[1]);
    graph.LinkPins(a.out[0], c.in[0]);
    graph.LinkPins(a.in[0], b.out[0]); // the odd links LinkPins accepts
    graph.LinkPins(a.in[0], c.in[1]);
    const auto value = test::Int(8);
    graph.PutDataOnPin(b.in[1], value);

    graph.DestroyInputPin(b.id, b.in[0]);
    EXPECT_EQ(
        Links(),
        InTableOrder(
            {{a.out[0], b.in[1]}, {a.out[0], c.in[0]}, {a.in[0], b.out[0]}, {a.in[0], c.in[1]}}));

    graph.DestroyOutputPin(a.id, a.out[0]);
    EXPECT_EQ(Links(), (LinkList{{a.in[0], b.out[0]}, {a.in[0], c.in[1]}}));
    EXPECT_EQ(graph.GetDataFromPin(b.in[1]), value);
    EXPECT_FALSE(graph.HasUpstreamPin(c.in[0]));

    graph.DestroyNode(b.id); // its output pin is the downstream end of a link
    EXPECT_EQ(Links(), (LinkList{{a.in[0], c.in[1]}}));

    graph.DestroyInputPin(a.id, a.in[0]); // the upstream end of a link
    EXPECT_EQ(Links(), LinkList{});
    EXPECT_FALSE(graph.HasUpstreamPin(c.in[1]));
}

TEST_F(GraphLinksTest, PinToPinEdgesIsTheLiveTable) {
    const std::multimap<GUID, GUID>& table = graph.GetPinToPinEdges();
    const TestNode a = AddNode(0, 1);
    const TestNode b = AddNode(2, 0);

    graph.LinkPins(a.out[0], b.in[0]);
    graph.LinkPins(a.out[0], b.in[1]);
    EXPECT_EQ(table.size(), 2u);
    graph.DestroyNode(a.id);
    EXPECT_TRUE(table.empty());
}

} // namespace
} // namespace datagraph
