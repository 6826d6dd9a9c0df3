#include <datagraph/Graph.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace datagraph {
namespace {

using test::GraphSnapshot;
using test::IntValue;
using test::StubFunction;

class GraphTest : public ::testing::Test {
protected:
    // Adds a node with one int input and one int output and returns its function.
    std::shared_ptr<StubFunction> AddNode(Graph& target, const GUID& subgraph = GetNullGUID()) {
        auto function = std::make_shared<StubFunction>();
        function->AddInput(typeid(IntValue));
        function->AddOutput(typeid(IntValue));
        target.CreateNode(function, subgraph);
        return function;
    }

    static GUID OnlyPin(const IdentifierSet& pins) { return *pins.begin(); }

    const GUID defaultSubgraph = CreateGUID();
    Graph graph{defaultSubgraph};
};

TEST_F(GraphTest, CreateGraphMakesAnEmptyGraphOfferingBothInterfaces) {
    const std::shared_ptr<IEditableGraph> editable = CreateGraph(defaultSubgraph);
    auto* traversable = dynamic_cast<ITraversableGraph*>(editable.get());
    auto* concrete = dynamic_cast<Graph*>(editable.get());
    ASSERT_NE(traversable, nullptr);
    ASSERT_NE(concrete, nullptr);
    EXPECT_EQ(dynamic_cast<Graph*>(traversable), concrete);

    const GraphSnapshot snapshot(*concrete);
    EXPECT_EQ(snapshot.defaultExecutionSubgraph, defaultSubgraph);
    EXPECT_TRUE(snapshot.nodes.empty() && snapshot.pins.empty() && snapshot.subgraphs.empty());

    const auto function = AddNode(*concrete);
    EXPECT_EQ(traversable->GetNodesInExecutionSubgraph(defaultSubgraph),
              (IdentifierSet{function->GetId()}));
}

TEST_F(GraphTest, LookupsOfAbsentIdsRaiseInvalidKeyWhileHasQueriesAnswerFalse) {
    const auto function = AddNode(graph);
    const GUID nodeId = function->GetId();
    const GUID pinId = OnlyPin(graph.GetInputPins(nodeId));
    const GUID absent = CreateGUID();

    for (const GUID& id : {absent, GetNullGUID()}) {
        EXPECT_FALSE(graph.HasNode(id));
        EXPECT_FALSE(graph.HasPin(id));
        EXPECT_INVALID_KEY(graph.GetConstNode(id));
        EXPECT_INVALID_KEY(graph.GetTraversableNode(id));
        EXPECT_INVALID_KEY(graph.GetConstPin(id));
        EXPECT_INVALID_KEY(graph.GetTraversablePin(id));
    }
    // Node ids and pin ids are looked up in their own maps.
    EXPECT_INVALID_KEY(graph.GetConstNode(pinId));
    EXPECT_INVALID_KEY(graph.GetConstPin(nodeId));
    EXPECT_EQ(graph.GetConstNode(nodeId).GetId(), nodeId);
    EXPECT_EQ(graph.GetConstPin(pinId).GetId(), pinId);
}

TEST_F(GraphTest, ClearEmptiesAnyGraphAndKeepsItsDefaultSubgraph) {
    const GraphSnapshot empty(graph);
    EXPECT_NO_THROW(graph.Clear());
    EXPECT_EQ(GraphSnapshot(graph), empty);

    const GUID otherSubgraph = CreateGUID();
    const auto upstream = AddNode(graph);
    const auto downstream = AddNode(graph, otherSubgraph);
    const GUID outputPin = OnlyPin(graph.GetOutputPins(upstream->GetId()));
    graph.LinkPins(outputPin, OnlyPin(graph.GetInputPins(downstream->GetId())));
    graph.PutDataOnPin(outputPin, test::Int(3));
    graph.AssignNodeToExecutionSubgraphs(upstream->GetId(), otherSubgraph);

    graph.Clear();

    EXPECT_EQ(GraphSnapshot(graph), empty);
}

TEST_F(GraphTest, SubgraphEntryOfANeverCreatedNodeMakesClearRaiseAfterDestroyingEveryNode) {
    const GUID ghost = CreateGUID();
    const GUID otherSubgraph = CreateGUID();
    const auto function = AddNode(graph);
    graph.AssignNodeToExecutionSubgraphs(ghost, otherSubgraph);

    EXPECT_GRAPH_EXCEPTION(graph.Clear(), "All nodes should have already been removed.");

    EXPECT_FALSE(graph.HasNode(function->GetId()));
    EXPECT_TRUE(graph.GetAllPins().empty());
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(otherSubgraph), (IdentifierSet{ghost}));

    // Still usable afterwards.
    graph.CreateNode(function, GetNullGUID());
    EXPECT_TRUE(graph.HasNode(function->GetId()));
}

TEST_F(GraphTest, DestroyingAGraphWhoseClearFailsRaisesNothing) {
    auto doomed = std::make_unique<Graph>(defaultSubgraph);
    AddNode(*doomed);
    doomed->AssignNodeToExecutionSubgraphs(CreateGUID(), CreateGUID());

    EXPECT_NO_THROW(doomed.reset());
}

TEST_F(GraphTest, DestructorReleasesNodeFunctionsAndValues) {
    auto doomed = std::make_unique<Graph>(defaultSubgraph);
    auto function = AddNode(*doomed);
    const std::weak_ptr<StubFunction> watchedFunction = function;
    auto value = std::make_shared<const IntValue>(7);
    const std::weak_ptr<const IntValue> watchedValue = value;
    doomed->PutDataOnPin(OnlyPin(doomed->GetInputPins(function->GetId())), std::move(value));
    function.reset();

    doomed.reset();

    EXPECT_TRUE(watchedFunction.expired());
    EXPECT_TRUE(watchedValue.expired());
}

} // namespace
} // namespace datagraph
