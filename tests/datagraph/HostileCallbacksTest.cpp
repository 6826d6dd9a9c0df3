// Host code the library calls back (a value's GetType or destructor, a function's Clone) may edit
// the very graph that called it; the library must then neither touch freed memory nor leave a
// change half-made. Run under AddressSanitizer, each of these failed before the library defended
// the path.

#include <datagraph/Graph.h>
#include <datagraph/UbernodeNodeFunction.h>

#include "GraphAssertions.h"
#include "GraphSnapshot.h"
#include "LogCapture.h"
#include "StubFunction.h"
#include "TestValues.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace datagraph::test {
namespace {

// An int value that runs host code when its type is asked for, or when it dies.
class HostileValue : public IntValue {
public:
    explicit HostileValue(std::function<void()> onGetType, std::function<void()> onDestroy = {})
        : IntValue(7)
        , onGetType(std::move(onGetType))
        , onDestroy(std::move(onDestroy)) {}

    ~HostileValue() override {
        if (onDestroy) {
            onDestroy();
        }
    }

    const std::type_info& GetType() const override {
        if (onGetType) {
            onGetType();
        }
        return typeid(IntValue);
    }

private:
    std::function<void()> onGetType;
    std::function<void()> onDestroy;
};

// A function whose Clone() runs host code first.
class HostileCloneFunction : public StubFunction {
public:
    using StubFunction::StubFunction;

    std::function<void()> onClone;

    std::shared_ptr<INodeFunction> Clone() const override {
        if (onClone) {
            onClone();
        }
        return StubFunction::Clone();
    }
};

struct OnePinNode {
    std::shared_ptr<StubFunction> function = std::make_shared<StubFunction>();
    GUID in = function->AddInput(typeid(IntValue));
};

TEST(HostileCallbacksTest, WriteWhoseValueDestroysThePinsNodeIsRefusedAndTouchesNothingFreed) {
    Graph graph(CreateGUID());
    OnePinNode node;
    graph.CreateNode(node.function, GetNullGUID());
    const GUID nodeId = node.function->GetId();
    auto value = std::make_shared<HostileValue>([&] { graph.DestroyNode(nodeId); });

    EXPECT_GRAPH_EXCEPTION(graph.PutDataOnPin(node.in, value),
                           "The pin was destroyed while its new value was checked.");
    EXPECT_FALSE(graph.HasNode(nodeId));
    EXPECT_FALSE(graph.HasPin(node.in));
}

TEST(HostileCallbacksTest, ReplacedValueMayDestroyThePinsNodeOnceTheWriteIsDone) {
    Graph graph(CreateGUID());
    OnePinNode node;
    graph.CreateNode(node.function, GetNullGUID());
    const GUID nodeId = node.function->GetId();
    graph.PutDataOnPin(node.in,
                       std::make_shared<HostileValue>(nullptr, [&] { graph.DestroyNode(nodeId); }));

    graph.PutDataOnPin(node.in, std::make_shared<IntValue>(1));

    EXPECT_FALSE(graph.HasNode(nodeId));
}

//   producer --> consumer       the producer's output destroys the producer while it is written
//   bystander (linked after)    and the traversal goes on with the next node
TEST(HostileCallbacksTest, TraversalLogsAnOutputWhoseValueDestroyedItsOwnNodeAndGoesOn) {
    Graph graph(CreateGUID());
    auto producer = std::make_shared<StubFunction>();
    const GUID out = producer->AddOutput(typeid(IntValue));
    OnePinNode consumer;
    auto source = std::make_shared<StubFunction>();
    const GUID sourceOut = source->AddOutput(typeid(IntValue));
    OnePinNode bystander;
    for (const auto& function : {std::static_pointer_cast<StubFunction>(producer),
                                 consumer.function, source, bystander.function}) {
        graph.CreateNode(function, GetNullGUID());
    }
    graph.LinkPins(out, consumer.in);
    graph.LinkPins(sourceOut, bystander.in);
    const GUID producerId = producer->GetId();
    producer->SetBody([&](const DataMap&) {
        return DataMap{
            {out, std::make_shared<HostileValue>([&] { graph.DestroyNode(producerId); })}};
    });
    source->SetOutputs({{sourceOut, std::make_shared<IntValue>(3)}});

    LogCapture log;
    graph.Traverse();

    EXPECT_FALSE(graph.HasNode(producerId));
    EXPECT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(bystander.function->Calls().executes, 1);
}

TEST(HostileCallbacksTest, CloneThatDestroysItsOwnNodeFailsTheCopyAndKeepsTheRest) {
    Graph graph(CreateGUID());
    auto hostile = std::make_shared<HostileCloneFunction>();
    OnePinNode other;
    graph.CreateNode(other.function, GetNullGUID());
    graph.CreateNode(hostile, GetNullGUID());
    const GUID hostileId = hostile->GetId();
    hostile->onClone = [&] { graph.DestroyNode(hostileId); };

    EXPECT_GRAPH_EXCEPTION(Graph copy(graph), "The graph was changed while it was being copied.");
    EXPECT_FALSE(graph.HasNode(hostileId));
    EXPECT_TRUE(graph.HasPin(other.in));
}

TEST(HostileCallbacksTest, AssigningToTheGraphBeingCopiedIsRefused) {
    Graph graph(CreateGUID());
    auto hostile = std::make_shared<HostileCloneFunction>();
    graph.CreateNode(hostile, GetNullGUID());
    const Graph empty(CreateGUID());
    hostile->onClone = [&] { graph = empty; };
    const GraphSnapshot before(graph);

    EXPECT_GRAPH_EXCEPTION(Graph copy(graph), "The graph was changed while it was being copied.");
    EXPECT_EQ(GraphSnapshot(graph), before);
}

std::shared_ptr<UbernodeNodeFunction> UbernodeOf(std::shared_ptr<Graph> inner) {
    return std::make_shared<UbernodeNodeFunction>(std::move(inner), Schema{}, Schema{}, "u", "",
                                                  CreateGUID());
}

TEST(HostileCallbacksTest, UbernodeCannotBecomeANodeOfAGraphItContains) {
    auto inner = std::make_shared<Graph>(CreateGUID());
    auto innermost = std::make_shared<Graph>(CreateGUID());
    auto outer = UbernodeOf(inner);
    inner->CreateNode(UbernodeOf(innermost), GetNullGUID());
    const GraphSnapshot innerBefore(*inner);
    const GraphSnapshot innermostBefore(*innermost);
    const char* refusal =
        "An ubernode cannot be a node of its own inner graph, nor of a graph nested in it.";

    EXPECT_GRAPH_EXCEPTION(inner->CreateNode(outer, GetNullGUID()), refusal);
    EXPECT_GRAPH_EXCEPTION(innermost->CreateNode(outer, GetNullGUID()), refusal);
    EXPECT_EQ(GraphSnapshot(*inner), innerBefore);
    EXPECT_EQ(GraphSnapshot(*innermost), innermostBefore);
    // Beside itself, in a graph it does not contain, it is welcome.
    Graph elsewhere(CreateGUID());
    elsewhere.CreateNode(outer, GetNullGUID());
    EXPECT_TRUE(elsewhere.HasNode(outer->GetId()));
}

// depth ubernodes inside each other, each graph also holding a pass-through fed by the ubernode,
// so that every level runs; the source at the bottom feeds the first pass-through.
struct Nesting {
    std::vector<std::shared_ptr<Graph>> graphs; // innermost first
    GUID top;                                   // the outermost pass-through's output

    explicit Nesting(int depth) {
        auto graph = std::make_shared<Graph>(CreateGUID());
        auto source = std::make_shared<StubFunction>();
        GUID exposed = source->AddOutput(typeid(IntValue));
        source->SetOutputs({{exposed, std::make_shared<IntValue>(5)}});
        graph->CreateNode(source, GetNullGUID());
        for (int level = 0; level <= depth; ++level) {
            auto pass = std::make_shared<StubFunction>();
            const GUID in = pass->AddInput(typeid(IntValue));
            const GUID out = pass->AddOutput(typeid(IntValue));
            pass->SetBody([in, out](const DataMap& inputs) {
                return inputs.count(in) ? DataMap{{out, inputs.at(in)}} : DataMap{};
            });
            if (level > 0) {
                graphs.push_back(graph);
                auto ubernode = std::make_shared<UbernodeNodeFunction>(
                    graph, Schema{}, Schema{{exposed, typeid(IntValue)}}, "u", "", CreateGUID());
                graph = std::make_shared<Graph>(CreateGUID());
                graph->CreateNode(ubernode, GetNullGUID());
            }
            graph->CreateNode(pass, GetNullGUID());
            graph->LinkPins(exposed, in);
            exposed = out;
        }
        graphs.push_back(graph);
        top = exposed;
    }
};

TEST(HostileCallbacksTest, TraversalsNestUpToTheLimitAndOneMoreIsTheUbernodesLoggedFailure) {
    {
        Nesting deepest(Graph::MaxNestedTraversals - 1);
        deepest.graphs.back()->Traverse();
        EXPECT_NE(deepest.graphs.back()->GetDataFromPin(deepest.top), nullptr);
    }
    Nesting tooDeep(Graph::MaxNestedTraversals);
    LogCapture log;
    tooDeep.graphs.back()->Traverse();
    EXPECT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(tooDeep.graphs.back()->GetDataFromPin(tooDeep.top), nullptr);
}

TEST(HostileCallbacksTest, CopyAndDestructionHandleAnyNestingDepth) {
    Nesting nesting(20000);
    std::shared_ptr<Graph> outermost = nesting.graphs.back();
    nesting.graphs.clear(); // the outermost graph alone holds the rest now
    auto copy = std::make_unique<Graph>(*outermost);
    EXPECT_EQ(copy->GetNodesInArbitraryOrder(), outermost->GetNodesInArbitraryOrder());
    copy.reset();
    outermost.reset();
}

} // namespace
} // namespace datagraph::test
