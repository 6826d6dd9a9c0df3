#include <datagraph/Graph.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace datagraph {
namespace {

using test::DoubleValue;
using test::GraphSnapshot;
using test::IntValue;
using test::Sorted;
using test::StubFunction;

const char* const pinIdInUse = "Requested pin id is already being used by another pin.";

std::shared_ptr<StubFunction> MakeFunction(int inputs, int outputs, GUID id = CreateGUID()) {
    auto function = std::make_shared<StubFunction>(id);
    for (int i = 0; i < inputs; ++i) {
        function->AddInput(typeid(IntValue));
    }
    for (int i = 0; i < outputs; ++i) {
        function->AddOutput(typeid(IntValue));
    }
    return function;
}

GUID OnlyPin(const IdentifierSet& pins) {
    EXPECT_EQ(pins.size(), 1u);
    return pins.empty() ? GUID{} : *pins.begin();
}

class GraphNodesTest : public ::testing::Test {
protected:
    const GUID defaultSubgraph = CreateGUID();
    Graph graph{defaultSubgraph};
};

TEST_F(GraphNodesTest, CreateNodeAsksOnceForIdAndSchemasAndFilesTheNodeUnderItsSubgraph) {
    const GUID explicitSubgraph = CreateGUID();
    const auto withPins = MakeFunction(1, 1);
    const auto withoutPins = MakeFunction(0, 0);

    graph.CreateNode(withPins, explicitSubgraph);
    graph.CreateNode(withoutPins, GetNullGUID());

    const test::FunctionCalls& calls = withoutPins->Calls();
    EXPECT_EQ(calls.getIds, 1);
    EXPECT_EQ(calls.inputSchemas, 1);
    EXPECT_EQ(calls.outputSchemas, 1);
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(explicitSubgraph),
              (IdentifierSet{withPins->GetId()}));
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(defaultSubgraph),
              (IdentifierSet{withoutPins->GetId()}));
}

TEST_F(GraphNodesTest, NullFunctionOrTakenNodeIdIsRefusedAndGraphIsUnchanged) {
    const auto existing = MakeFunction(1, 1);
    graph.CreateNode(existing, GetNullGUID());
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(graph.CreateNode(nullptr, GetNullGUID()),
                           "Node function cannot be null");
    EXPECT_GRAPH_EXCEPTION(graph.CreateNode(MakeFunction(1, 1, existing->GetId()), GetNullGUID()),
                           "GUID is already assigned to an existing node.");

    EXPECT_EQ(GraphSnapshot(graph), before);
    EXPECT_EQ(&graph.GetConstNode(existing->GetId()).GetNodeFunction(), existing.get());
}

TEST_F(GraphNodesTest, ClashingSchemaPinIdLeavesTheGraphExactlyAsItWas) {
    const auto existing = MakeFunction(1, 1);
    graph.CreateNode(existing, GetNullGUID());
    const GUID takenIn = OnlyPin(graph.GetInputPins(existing->GetId()));
    const GUID takenOut = OnlyPin(graph.GetOutputPins(existing->GetId()));
    const GUID shared = CreateGUID();

    struct Case {
        const char* name;
        GUID input;
        GUID output;
    };

    const Case cases[] = {
        {"id in both schemas", shared, shared},
        {"input id of another node's input", takenIn, CreateGUID()},
        {"input id of another node's output", takenOut, CreateGUID()},
        {"output id of another node's input", CreateGUID(), takenIn},
    };
    const GraphSnapshot before(graph);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Fresh pins on both sides, so that any pin made before the clash would show.
        const auto function = MakeFunction(2, 2);
        function->AddInput(typeid(IntValue), c.input);
        function->AddOutput(typeid(IntValue), c.output);

        EXPECT_GRAPH_EXCEPTION(graph.CreateNode(function, GetNullGUID()), pinIdInUse);

        EXPECT_FALSE(graph.HasNode(function->GetId()));
        EXPECT_EQ(GraphSnapshot(graph), before);
    }
}

TEST_F(GraphNodesTest, NullGuidIsAnOrdinaryNodeIdAndPinId) {
    auto function = std::make_shared<StubFunction>(GetNullGUID());
    function->AddInput(typeid(IntValue), GetNullGUID());

    graph.CreateNode(function, GetNullGUID());

    EXPECT_EQ(graph.GetOwningNode(GetNullGUID()), GetNullGUID());
    EXPECT_EQ(graph.GetNodesInExecutionSubgraph(defaultSubgraph), (IdentifierSet{GetNullGUID()}));
    graph.DestroyNode(GetNullGUID());
    EXPECT_FALSE(graph.HasNode(GetNullGUID()));
    EXPECT_FALSE(graph.HasPin(GetNullGUID()));
}

TEST_F(GraphNodesTest, NodeIdsAndPinIdsLiveInSeparateSpaces) {
    const auto first = MakeFunction(1, 0);
    graph.CreateNode(first, GetNullGUID());
    const GUID firstPin = OnlyPin(graph.GetInputPins(first->GetId()));
    // Named like the first node's pin, with a pin named like the first node.
    auto second = std::make_shared<StubFunction>(firstPin);
    second->AddInput(typeid(IntValue), first->GetId());
    // A pin named like its own node.
    auto third = std::make_shared<StubFunction>();
    third->AddOutput(typeid(IntValue), third->GetId());

    graph.CreateNode(second, GetNullGUID());
    graph.CreateNode(third, GetNullGUID());

    EXPECT_EQ(graph.GetOwningNode(firstPin), first->GetId());
    EXPECT_EQ(graph.GetOwningNode(first->GetId()), firstPin);
    EXPECT_EQ(graph.GetOutputPins(third->GetId()), (IdentifierSet{third->GetId()}));
}

TEST_F(GraphNodesTest, CreatePinNeedsAnExistingNodeAndAFreePinId) {
    const auto function = MakeFunction(1, 1);
    graph.CreateNode(function, GetNullGUID());
    const GUID nodeId = function->GetId();
    const GUID takenIn = OnlyPin(graph.GetInputPins(nodeId));
    const GUID takenOut = OnlyPin(graph.GetOutputPins(nodeId));
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(graph.CreateInputPin(CreateGUID(), CreateGUID(), typeid(IntValue)),
                           "Node does not exist");
    EXPECT_GRAPH_EXCEPTION(graph.CreateOutputPin(CreateGUID(), CreateGUID(), typeid(IntValue)),
                           "Node does not exist");
    EXPECT_GRAPH_EXCEPTION(graph.CreateInputPin(nodeId, takenOut, typeid(IntValue)), pinIdInUse);
    EXPECT_GRAPH_EXCEPTION(graph.CreateOutputPin(nodeId, takenIn, typeid(IntValue)), pinIdInUse);
    EXPECT_EQ(GraphSnapshot(graph), before);

    const GUID extra = CreateGUID();
    graph.CreateOutputPin(nodeId, extra, typeid(DoubleValue));
    EXPECT_EQ(graph.GetOutputPins(nodeId), (IdentifierSet{takenOut, extra}));
    EXPECT_EQ(graph.GetConstPin(extra).GetDataType(), typeid(DoubleValue));
}

// source.out --+--> sinks[0].in
//              +--> sinks[1].in
//              +--> sinks[2].in      (each input holds Int(i))
class GraphNodesFanOutTest : public GraphNodesTest {
protected:
    void SetUp() override {
        graph.CreateNode(source, GetNullGUID());
        out = OnlyPin(graph.GetOutputPins(source->GetId()));
        for (int i = 0; i < 3; ++i) {
            auto sink = MakeFunction(1, 0);
            graph.CreateNode(sink, GetNullGUID());
            sinks.push_back(sink->GetId());
            ins.push_back(OnlyPin(graph.GetInputPins(sink->GetId())));
            graph.LinkPins(out, ins.back());
            graph.PutDataOnPin(ins.back(), test::Int(i));
        }
    }

    const std::shared_ptr<StubFunction> source = MakeFunction(1, 1);
    GUID out;
    std::vector<GUID> sinks;
    std::vector<GUID> ins;
};

TEST_F(GraphNodesFanOutTest, DestroyPinOfTheWrongNodeOrSideIsRefusedAndGraphIsUnchanged) {
    const GUID absent = CreateGUID();
    const GUID sourceId = source->GetId();
    const GUID sourceIn = OnlyPin(graph.GetInputPins(sourceId));
    const char* const noNode = "The node must exist for us to destroy its pin.";

    const struct {
        const char* name;
        std::function<void()> destroy;
        const char* message;
    } cases[] = {
        {"input of absent node", [&] { graph.DestroyInputPin(absent, sourceIn); }, noNode},
        {"output of absent node", [&] { graph.DestroyOutputPin(absent, out); }, noNode},
        {"output pin as input", [&] { graph.DestroyInputPin(sourceId, out); }, ""},
        {"input pin as output", [&] { graph.DestroyOutputPin(sourceId, sourceIn); }, ""},
        {"absent input pin", [&] { graph.DestroyInputPin(sourceId, absent); }, ""},
        {"absent output pin", [&] { graph.DestroyOutputPin(sourceId, absent); }, ""},
        {"input pin of another node", [&] { graph.DestroyInputPin(sourceId, ins[0]); }, ""},
    };

    const GraphSnapshot before(graph);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_GRAPH_EXCEPTION(c.destroy(), c.message);
        EXPECT_EQ(GraphSnapshot(graph), before);
    }
}

TEST_F(GraphNodesFanOutTest, DestroyingTheOutputPinRemovesAllItsLinksAndInputsKeepTheirData) {
    graph.DestroyOutputPin(source->GetId(), out);

    EXPECT_FALSE(graph.HasPin(out));
    EXPECT_TRUE(graph.GetPinToPinEdges().empty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(graph.HasUpstreamPin(ins[i]));
        EXPECT_EQ(test::IntOf(graph.GetDataFromPin(ins[i])), i);
    }
}

TEST_F(GraphNodesFanOutTest, DestroyingALinkedInputPinRemovesOnlyItsLink) {
    graph.DestroyInputPin(sinks[1], ins[1]);

    EXPECT_FALSE(graph.HasPin(ins[1]));
    EXPECT_EQ(graph.GetDownstreamPins(out), (IdentifierSet{ins[0], ins[2]}));
    EXPECT_EQ(graph.GetPinToPinEdges().size(), 2u);
}

TEST_F(GraphNodesFanOutTest, NodeKeptByTheHostAfterDestroyNodeStillAnswersButHasNoPins) {
    const std::shared_ptr<Node> kept = graph.GetNodes().at(source->GetId());

    graph.DestroyNode(source->GetId());

    EXPECT_FALSE(graph.HasNode(source->GetId()));
    EXPECT_EQ(graph.GetAllPins().size(), 3u);
    EXPECT_TRUE(graph.GetPinToPinEdges().empty());
    EXPECT_EQ(kept->GetId(), source->GetId());
    EXPECT_TRUE(kept->GetInputPins().empty());
    EXPECT_TRUE(kept->GetOutputPins().empty());
}

TEST_F(GraphNodesTest, DestroyNodeErasesEverySubgraphEntryNamingTheIdEvenOfAnAbsentNode) {
    const GUID second = CreateGUID();
    const auto function = MakeFunction(1, 1);
    graph.CreateNode(MakeFunction(0, 0), second);
    const GraphSnapshot before(graph);
    graph.CreateNode(function, GetNullGUID());
    graph.AssignNodeToExecutionSubgraphs(function->GetId(), second);
    const GUID ghost = CreateGUID();
    graph.AssignNodeToExecutionSubgraphs(ghost, second);
    graph.AssignNodeToExecutionSubgraphs(ghost, defaultSubgraph);

    graph.DestroyNode(function->GetId());
    EXPECT_NO_THROW(graph.DestroyNode(ghost));
    EXPECT_NO_THROW(graph.DestroyNode(CreateGUID()));

    EXPECT_EQ(GraphSnapshot(graph), before);
}

void ExpectInvariants(const Graph& graph) {
    std::size_t pinsOfNodes = 0;
    const auto filed = graph.GetNodeToExecutionSubgraphMap();
    for (const GUID& nodeId : graph.GetNodesInArbitraryOrder()) {
        EXPECT_EQ(filed.count(nodeId), 1u);
        for (const IdentifierSet& pins :
             {graph.GetInputPins(nodeId), graph.GetOutputPins(nodeId)}) {
            for (const GUID& pinId : pins) {
                EXPECT_TRUE(graph.HasPin(pinId));
                EXPECT_EQ(graph.GetOwningNode(pinId), nodeId);
            }
            pinsOfNodes += pins.size();
        }
    }
    EXPECT_EQ(graph.GetAllPins().size(), pinsOfNodes); // so no pin is without an owner
    for (const auto& [outputPin, inputPin] : graph.GetPinToPinEdges()) {
        EXPECT_TRUE(graph.HasPin(outputPin) && graph.HasPin(inputPin));
    }
    EXPECT_EQ(filed.size(), graph.GetNodesInArbitraryOrder().size());
}

TEST_F(GraphNodesTest, RandomEditsKeepEveryPinOwnedEveryLinkValidAndEveryNodeFiled) {
    std::mt19937 random(20240611);
    const auto randomGuid = [&random] {
        GUID id;
        for (auto& byte : id) {
            byte = static_cast<std::uint8_t>(random());
        }
        return id;
    };
    const auto pick = [&random](const std::vector<GUID>& ids) {
        return ids[random() % ids.size()];
    };
    const std::vector<GUID> subgraphs = {GetNullGUID(), randomGuid(), randomGuid()};

    for (int step = 0; step < 500 && !HasFailure(); ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const std::vector<GUID> nodes = Sorted(graph.GetNodesInArbitraryOrder());
        std::vector<GUID> inputs;
        std::vector<GUID> outputs;
        for (const GUID& nodeId : nodes) {
            for (const GUID& pinId : Sorted(graph.GetInputPins(nodeId))) {
                inputs.push_back(pinId);
            }
            for (const GUID& pinId : Sorted(graph.GetOutputPins(nodeId))) {
                outputs.push_back(pinId);
            }
        }
        const unsigned operation = random() % 8;
        if (operation <= 1 || nodes.empty()) {
            auto function = std::make_shared<StubFunction>(randomGuid());
            for (unsigned i = random() % 4; i > 0; --i) {
                function->AddInput(typeid(IntValue), randomGuid());
                function->AddOutput(typeid(IntValue), randomGuid());
            }
            graph.CreateNode(function, pick(subgraphs));
        } else if (operation == 2) {
            graph.DestroyNode(pick(nodes));
        } else if (operation <= 5 && !inputs.empty() && !outputs.empty()) {
            const GUID input = pick(inputs);
            if (!graph.HasUpstreamPin(input)) {
                graph.LinkPins(pick(outputs), input);
            }
        } else if (operation == 6 && !inputs.empty()) {
            const GUID pinId = pick(inputs);
            graph.DestroyInputPin(graph.GetOwningNode(pinId), pinId);
        } else if (operation == 7 && !outputs.empty()) {
            const GUID pinId = pick(outputs);
            graph.DestroyOutputPin(graph.GetOwningNode(pinId), pinId);
        }
        ExpectInvariants(graph);
    }

    EXPECT_NO_THROW(graph.Clear());
    EXPECT_TRUE(graph.GetAllPins().empty() && graph.GetPinToPinEdges().empty());
}

} // namespace
} // namespace datagraph
