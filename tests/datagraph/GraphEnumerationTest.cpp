#include <datagraph/Graph.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace datagraph::test {
namespace {

// Three nodes: a source (one output), a relay (one input, one output) and a node with two
// inputs and one output.
class GraphEnumerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        twoInputs->AddInput(typeid(IntValue));
        twoInputs->AddInput(typeid(IntValue));
        twoInputs->AddOutput(typeid(IntValue));
        twoInputs->SetName("two inputs");
        graph.CreateNode(source.function, GetNullGUID());
        graph.CreateNode(relay.function, GetNullGUID());
        graph.CreateNode(twoInputs, CreateGUID());
    }

    IdentifierSet AllIds() const { return {source.Id(), relay.Id(), twoInputs->GetId()}; }

    const IntNode source = CountingSource();
    const IntNode relay = Increment();
    const std::shared_ptr<StubFunction> twoInputs = std::make_shared<StubFunction>();
    Graph graph{CreateGUID()};
};

TEST_F(GraphEnumerationTest, EmptyGraphListsNothingAndNeverLooksAtThePredicate) {
    const Graph empty(CreateGUID());

    EXPECT_TRUE(empty.FindNodes(nullptr).empty());
    EXPECT_TRUE(empty.FindNodes([](const INodeFunction&) { return true; }).empty());
    EXPECT_TRUE(empty.GetNodes().empty());
    EXPECT_TRUE(empty.GetNodesInArbitraryOrder().empty());
    EXPECT_TRUE(empty.GetAllPins().empty());
}

TEST_F(GraphEnumerationTest, EmptyPredicateOnAGraphWithNodesThrowsBadFunctionCall) {
    EXPECT_THROW(graph.FindNodes(nullptr), std::bad_function_call);
}

TEST_F(GraphEnumerationTest, PredicateIsAskedOncePerNodeAndSelectsByItsFunction) {
    int asked = 0;
    const IdentifierList all = graph.FindNodes([&asked](const INodeFunction&) {
        ++asked;
        return true;
    });

    EXPECT_EQ(asked, 3);
    EXPECT_EQ(IdentifierSet(all.begin(), all.end()), AllIds());
    EXPECT_EQ(all.size(), 3u);
    EXPECT_TRUE(graph.FindNodes([](const INodeFunction&) { return false; }).empty());

    const GUID wanted = relay.Id();
    const IdentifierList byId =
        graph.FindNodes([&wanted](const INodeFunction& f) { return f.GetId() == wanted; });
    ASSERT_EQ(byId.size(), 1u);
    EXPECT_EQ(byId[0], wanted);
    const IdentifierList byName =
        graph.FindNodes([](const INodeFunction& f) { return f.GetName() == "two inputs"; });
    ASSERT_EQ(byName.size(), 1u);
    EXPECT_EQ(byName[0], twoInputs->GetId());
}

TEST_F(GraphEnumerationTest, PredicateThatThrowsPassesThroughAndChangesNothing) {
    const GraphSnapshot before(graph);

    EXPECT_THROW(graph.FindNodes([](const INodeFunction&) -> bool { throw HostError("no"); }),
                 HostError);

    EXPECT_EQ(GraphSnapshot(graph), before);
}

TEST_F(GraphEnumerationTest, GetNodesIsACopyThatSharesTheGraphsNodeObjects) {
    Graph::NodeMap nodes = graph.GetNodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes.at(relay.Id()).get(), &graph.GetConstNode(relay.Id()));

    nodes.at(relay.Id())->SetDisabled(true);
    EXPECT_TRUE(graph.GetConstNode(relay.Id()).GetDisabled());

    nodes.erase(source.Id());
    EXPECT_TRUE(graph.HasNode(source.Id()));

    graph.CreateNode(std::make_shared<StubFunction>(), GetNullGUID());
    EXPECT_EQ(nodes.size(), 2u);

    const std::shared_ptr<Node> kept = nodes.at(relay.Id());
    graph.DestroyNode(relay.Id());
    EXPECT_FALSE(graph.HasNode(relay.Id()));
    EXPECT_EQ(kept->GetId(), relay.Id());
    EXPECT_TRUE(kept->GetInputPins().empty());
}

TEST_F(GraphEnumerationTest, NodeIdsAndPinsAreListedOnceEach) {
    EXPECT_EQ(graph.GetNodesInArbitraryOrder(), AllIds());

    const std::vector<const Pin*> pins = graph.GetAllPins();
    EXPECT_EQ(pins.size(), 1u + 2u + 3u);
    for (const Pin* pin : pins) {
        EXPECT_EQ(pin, &graph.GetConstPin(pin->GetId()));
        EXPECT_EQ(std::count(pins.begin(), pins.end(), pin), 1);
    }

    graph.DestroyNode(twoInputs->GetId());
    EXPECT_EQ(graph.GetAllPins().size(), 3u);
}

} // namespace
} // namespace datagraph::test
