#include "PinnedNodes.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

using test::GraphSnapshot;

// n1 -> n2 -> n3, with a value and a cleared mark on n2's input pin.
class DirtyMarkTest : public ::testing::Test {
protected:
    DirtyMarkTest() {
        test::PinnedNode previous;
        for (GUID& id : nodes) {
            const test::PinnedNode node = test::AddPinnedNode(graph, 1, 1);
            if (previous.function) {
                graph.LinkPins(previous.out[0], node.in[0]);
            }
            id = node.id;
            previous = node;
        }
        middleInput = *graph.GetInputPins(nodes[1]).begin();
        graph.PutDataOnPin(middleInput, test::Int(1));
        graph.GetTraversablePin(middleInput).SetUpdatedData(false);
    }

    Graph graph{CreateGUID()};
    GUID nodes[3];
    GUID middleInput;
};

TEST_F(DirtyMarkTest, SetDirtyMarksThatNodeAlone) {
    GraphSnapshot expected(graph);

    graph.SetDirty(nodes[1], true);
    expected.nodes[nodes[1]].dirty = true;
    EXPECT_EQ(GraphSnapshot(graph), expected);

    graph.SetDirty(nodes[0], true);
    graph.SetDirty(nodes[2], true);
    graph.SetDirty(nodes[1], false);
    graph.SetDirty(nodes[1], false);
    expected.nodes[nodes[0]].dirty = true;
    expected.nodes[nodes[1]].dirty = false;
    expected.nodes[nodes[2]].dirty = true;
    EXPECT_EQ(GraphSnapshot(graph), expected);
}

TEST_F(DirtyMarkTest, SetDirtyOnAnUnknownNodeIsAnInvalidKeyAndChangesNothing) {
    graph.SetDirty(nodes[0], true);
    const GraphSnapshot before(graph);

    EXPECT_INVALID_KEY(graph.SetDirty(CreateGUID(), true));
    EXPECT_INVALID_KEY(graph.SetDirty(middleInput, false)); // a pin id is no node id

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(DirtyMarkTest, PutDataOnPinSetsThePinMarkAndNoNodeMark) {
    GraphSnapshot expected(graph);
    const auto value = test::Int(2);

    graph.PutDataOnPin(middleInput, value);

    expected.pins[middleInput].data = value.get();
    expected.pins[middleInput].updatedData = true;
    EXPECT_EQ(GraphSnapshot(graph), expected);
}

TEST_F(DirtyMarkTest, MarksSetOnTheNodeAreKeptByTheGraph) {
    Node& node = *graph.GetNodes().at(nodes[2]);
    GraphSnapshot expected(graph);

    node.SetDisabled(true);
    node.SetDirty(true);

    expected.nodes[nodes[2]].disabled = true;
    expected.nodes[nodes[2]].dirty = true;
    EXPECT_EQ(GraphSnapshot(graph), expected);
    EXPECT_TRUE(graph.GetConstNode(nodes[2]).GetDisabled());

    node.SetDisabled(false);
    EXPECT_FALSE(graph.GetConstNode(nodes[2]).GetDisabled());
    EXPECT_TRUE(graph.GetConstNode(nodes[2]).GetDirty());
}

} // namespace
} // namespace datagraph
