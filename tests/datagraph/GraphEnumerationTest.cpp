#include <datagraph/Graph.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace datagraph::test {
namespace {

class GraphEnumerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        relay.function->SetName("relay");
        for (const IntNode& node : {source, relay, sink}) {
            graph.CreateNode(node.function, GetNullGUID());
        }
    }

    const IntNode source = CountingSource();
    const IntNode relay = Increment();
    const IntNode sink = Sink();
    Graph graph{CreateGUID()};
};

TEST_F(GraphEnumerationTest, FindNodesAsksOncePerNodeAndSelectsByTheFunction) {
    int asked = 0;
    const IdentifierList all = graph.FindNodes([&asked](const INodeFunction&) {
        ++asked;
        return true;
    });

    EXPECT_EQ(asked, 3);
    EXPECT_EQ(IdentifierSet(all.begin(), all.end()),
              (IdentifierSet{source.Id(), relay.Id(), sink.Id()}));
    EXPECT_EQ(all.size(), 3u);
    EXPECT_EQ(graph.FindNodes([](const INodeFunction& f) { return f.GetName() == "relay"; }),
              IdentifierList{relay.Id()});
}

TEST_F(GraphEnumerationTest, GetNodesIsACopyThatSharesTheGraphsNodeObjects) {
    Graph::NodeMap nodes = graph.GetNodes();
    EXPECT_EQ(nodes.at(relay.Id()).get(), &graph.GetConstNode(relay.Id()));

    nodes.at(relay.Id())->SetDisabled(true);
    EXPECT_TRUE(graph.GetConstNode(relay.Id()).GetDisabled());

    nodes.erase(source.Id());
    EXPECT_TRUE(graph.HasNode(source.Id()));
    graph.CreateNode(std::make_shared<StubFunction>(), GetNullGUID());
    EXPECT_EQ(nodes.size(), 2u);

    // A node the host kept outlives its removal from the graph, without pins.
    const std::shared_ptr<Node> kept = nodes.at(relay.Id());
    graph.DestroyNode(relay.Id());
    EXPECT_EQ(kept->GetId(), relay.Id());
    EXPECT_TRUE(kept->GetInputPins().empty() && kept->GetOutputPins().empty());
}

} // namespace
} // namespace datagraph::test
