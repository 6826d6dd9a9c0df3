#include <datagraph/Graph.h>
#include <datagraph/NodeExecutingGraphTraverser.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace datagraph::test {
namespace {

// A host's own ITraversableGraph: forwards to a Graph, counts every call, and files every node of
// the graph's default subgraph under whatever subgraph it is asked about.
class RecordingGraph : public ITraversableGraph {
public:
    explicit RecordingGraph(Graph& graph)
        : graph(graph) {}

#define FORWARD(Result, Name, Constness)                                                           \
    Result Name(const GUID& id) Constness override {                                               \
        ++calls[#Name];                                                                            \
        return graph.Name(id);                                                                     \
    }
    FORWARD(ITraversableNode&, GetTraversableNode, )
    FORWARD(ITraversablePin&, GetTraversablePin, )
    FORWARD(GUID, GetOwningNode, const)
    FORWARD(IdentifierSet, GetInputPins, const)
    FORWARD(IdentifierSet, GetOutputPins, const)
    FORWARD(IdentifierSet, GetOutputNodes, const)
    FORWARD(IdentifierSet, GetInputNodes, const)
    FORWARD(bool, NodeIsUnconnected, const)
    FORWARD(IdentifierSet, GetDownstreamPins, const)
    FORWARD(bool, HasUpstreamPin, const)
    FORWARD(GUID, GetUpstreamPin, const)
#undef FORWARD

    IdentifierList GetNodesInTopologicalOrder() const override {
        ++calls["GetNodesInTopologicalOrder"];
        return graph.GetNodesInTopologicalOrder();
    }

    IdentifierSet GetNodesInExecutionSubgraph(const GUID&) const override {
        ++calls["GetNodesInExecutionSubgraph"];
        return graph.GetNodesInExecutionSubgraph(graph.GetDefaultExecutionSubgraphID());
    }

    mutable std::map<std::string, int> calls;

private:
    Graph& graph;
};

class NodeExecutingGraphTraverserTest : public TwoSubgraphsTest {};

// main: A --> B        other: C --> D
TEST_F(NodeExecutingGraphTraverserTest, RunsItsSubgraphWithoutSettingOrCheckingTheGraphsFlag) {
    IntNode a = Add(CountingSource());
    const IntNode b = Add(Sink());
    graph.LinkPins(a.out, b.in);
    const IntNode c = Add(CountingSource(), otherSubgraph);
    const IntNode d = Add(Sink(), otherSubgraph);
    graph.LinkPins(c.out, d.in);
    bool viaGraph = false;
    a.function->SetBody([&](const DataMap&) {
        if (viaGraph) {
            NodeExecutingGraphTraverser(graph, otherSubgraph).Traverse();
        } else {
            graph.Traverse(otherSubgraph);
        }
        return DataMap{{a.out, Int(1)}};
    });

    // Under a direct traverser the graph is idle, so the node may ask the graph to traverse.
    NodeExecutingGraphTraverser(graph, mainSubgraph).Traverse();
    EXPECT_EQ(b.Executes(), 1);
    EXPECT_EQ(c.Executes(), 1);
    EXPECT_EQ(d.Executes(), 1);

    // Under the graph's own Traverse a direct traverser is not refused.
    viaGraph = true;
    graph.Traverse();
    EXPECT_EQ(d.Executes(), 2);
    EXPECT_EQ(b.Executes(), 2);
}

// A --> B --> C
TEST_F(NodeExecutingGraphTraverserTest, WorksThroughTheTraversableInterfaceAlone) {
    const IntNode a = Add(CountingSource());
    const IntNode b = Add(Increment());
    const IntNode c = Add(Sink());
    graph.LinkPins(a.out, b.in);
    graph.LinkPins(b.out, c.in);
    RecordingGraph recording(graph);

    // The subgraph is one the graph has never heard of; only the decorator knows its members.
    NodeExecutingGraphTraverser(recording, CreateGUID()).Traverse();

    ASSERT_EQ(c.Executes(), 1);
    EXPECT_EQ(c.LastInput(), 2);
    EXPECT_EQ(recording.calls["GetNodesInTopologicalOrder"], 1);
    EXPECT_EQ(recording.calls["GetNodesInExecutionSubgraph"], 1);
    EXPECT_EQ(recording.calls["GetTraversableNode"], 3);
}

} // namespace
} // namespace datagraph::test
