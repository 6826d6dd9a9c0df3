#include <datagraph/UbernodeNodeFunction.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

namespace datagraph::test {
namespace {

Schema IntSchema(std::initializer_list<GUID> pinIds) {
    Schema schema;
    for (const GUID& pinId : pinIds) {
        schema.emplace(pinId, typeid(IntValue));
    }
    return schema;
}

// Inner graph, default subgraph:  P (in1 + in2) --mid->q.in-- Q (+100) --q.out
// Elsewhere:                      R --r.out (never runs, so r.out stays empty)
// The ubernode takes in1 and in2 and gives q.out and r.out.
class UbernodeNodeFunctionTest : public ::testing::Test {
protected:
    void SetUp() override {
        in1 = p->AddInput(typeid(IntValue));
        in2 = p->AddInput(typeid(IntValue));
        mid = p->AddOutput(typeid(IntValue));
        p->SetBody([out = mid](const DataMap& inputs) {
            int sum = 0;
            for (const auto& entry : inputs) {
                sum += IntOf(entry.second);
            }
            return DataMap{{out, Int(sum)}};
        });
        inner->CreateNode(p, GetNullGUID());
        inner->CreateNode(q.function, GetNullGUID());
        inner->CreateNode(r.function, CreateGUID());
        inner->LinkPins(mid, q.in);
        ubernode = std::make_shared<UbernodeNodeFunction>(inner, IntSchema({in1, in2}),
                                                          IntSchema({q.out, r.out}), "adder",
                                                          "adds and offsets", ubernodeId);
    }

    DataMap Run(int first, int second) {
        return ubernode->Execute({{in1, Int(first)}, {in2, Int(second)}});
    }

    const std::shared_ptr<Graph> inner = std::make_shared<Graph>(CreateGUID());
    const std::shared_ptr<StubFunction> p = std::make_shared<StubFunction>();
    GUID in1, in2, mid;
    const IntNode q = Increment(100);
    const IntNode r = CountingSource();
    const GUID ubernodeId = CreateGUID();
    std::shared_ptr<UbernodeNodeFunction> ubernode;
};

TEST_F(UbernodeNodeFunctionTest, IdentifiesAsGraphNodeAndRefusesAnEmptyGraph) {
    EXPECT_EQ(ubernode->GetClassIdentifier(), "graph-node");
    EXPECT_GRAPH_EXCEPTION(
        UbernodeNodeFunction(nullptr, Schema(), Schema(), "name", "description", CreateGUID()),
        "Ubernode graph cannot be null");
}

TEST_F(UbernodeNodeFunctionTest, ExecuteRunsTheInnerGraphFromWhatItHoldsAndLeavesOutEmptyOutputs) {
    const auto first = Int(1);

    const DataMap outputs = ubernode->Execute({{in1, first}, {in2, Int(2)}});

    EXPECT_EQ(inner->GetDataFromPin(in1), first);
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(IntOf(outputs.at(q.out)), 103);
    EXPECT_EQ(r.Executes(), 0);

    // in2 keeps its 2 from the first execution.
    EXPECT_EQ(IntOf(ubernode->Execute({{in1, Int(10)}}).at(q.out)), 112);
}

// S1 --> in1 [ubernode] q.out --> K          (outer r.out holds the host's -1)
// S2 --> in2
TEST_F(UbernodeNodeFunctionTest, OuterOutputPinWithoutInnerValueKeepsItsValue) {
    Graph outer(CreateGUID());
    const IntNode s1 = CountingSource();
    const IntNode s2 = CountingSource();
    const IntNode k = Sink();
    outer.CreateNode(ubernode, GetNullGUID());
    for (const IntNode& node : {s1, s2, k}) {
        outer.CreateNode(node.function, GetNullGUID());
    }
    outer.LinkPins(s1.out, in1);
    outer.LinkPins(s2.out, in2);
    outer.LinkPins(q.out, k.in);
    const auto hostValue = Int(-1);
    outer.PutDataOnPin(r.out, hostValue);

    outer.Traverse();

    EXPECT_EQ(k.LastInput(), 102);
    EXPECT_EQ(outer.GetDataFromPin(r.out), hostValue);
}

TEST_F(UbernodeNodeFunctionTest, PinNamesAndDescriptionsAreBorrowedFromTheInnerNodes) {
    EXPECT_EQ(ubernode->GetName(), "adder");
    EXPECT_EQ(ubernode->GetDescription(), "adds and offsets");
    for (const GUID& pinId : {in1, mid, q.out, r.out}) {
        const INodeFunction& owner =
            inner->GetConstNode(inner->GetOwningNode(pinId)).GetNodeFunction();
        EXPECT_EQ(ubernode->GetInputOrOutputName(pinId), owner.GetInputOrOutputName(pinId));
        EXPECT_EQ(ubernode->GetInputOrOutputDescription(pinId),
                  owner.GetInputOrOutputDescription(pinId));
    }
    const GUID unknown = CreateGUID();
    EXPECT_GRAPH_EXCEPTION(ubernode->GetInputOrOutputName(unknown),
                           "Pin not associated with a node.");
    EXPECT_GRAPH_EXCEPTION(ubernode->GetInputOrOutputDescription(unknown),
                           "Pin not associated with a node.");
}

TEST_F(UbernodeNodeFunctionTest, CloneHasTheSameIdentityAndRunsIndependently) {
    const std::shared_ptr<INodeFunction> clone = ubernode->Clone();
    const Graph* cloneInner = dynamic_cast<const UbernodeNodeFunction&>(*clone).GetGraph();

    EXPECT_EQ(clone->GetId(), ubernodeId);
    EXPECT_EQ(clone->GetName(), "adder");
    EXPECT_EQ(clone->GetDescription(), "adds and offsets");
    EXPECT_EQ(clone->GetInputSchema().size(), 2u);
    EXPECT_TRUE(clone->GetInputSchema().at(in2) == typeid(IntValue));
    EXPECT_TRUE(clone->GetOutputSchema().at(r.out) == typeid(IntValue));
    EXPECT_NE(cloneInner, inner.get());

    const GraphSnapshot sourceBefore(*inner);
    EXPECT_EQ(IntOf(clone->Execute({{in1, Int(1)}, {in2, Int(2)}}).at(q.out)), 103);
    EXPECT_EQ(GraphSnapshot(*inner), sourceBefore);

    const GraphSnapshot cloneBefore(*cloneInner);
    Run(3, 4);
    EXPECT_EQ(GraphSnapshot(*cloneInner), cloneBefore);
}

// outer:  S --> e.in [U1] q.out --> K
// U1:     E (+1) --> in1 [ubernode] q.out    (in2 holds 2)
TEST_F(UbernodeNodeFunctionTest, UbernodesNestedTwoDeepRunInsideAnOuterTraversal) {
    auto level1 = std::make_shared<Graph>(CreateGUID());
    const IntNode e = Increment(1);
    level1->CreateNode(e.function, GetNullGUID());
    level1->CreateNode(ubernode, GetNullGUID());
    level1->LinkPins(e.out, in1);
    level1->PutDataOnPin(in2, Int(2));
    auto u1 = std::make_shared<UbernodeNodeFunction>(level1, IntSchema({e.in}), IntSchema({q.out}),
                                                     "outer", "", CreateGUID());
    Graph outer(CreateGUID());
    const IntNode s = CountingSource();
    const IntNode k = Sink();
    outer.CreateNode(s.function, GetNullGUID());
    outer.CreateNode(u1, GetNullGUID());
    outer.CreateNode(k.function, GetNullGUID());
    outer.LinkPins(s.out, e.in);
    outer.LinkPins(q.out, k.in);

    outer.Traverse();

    ASSERT_EQ(k.Executes(), 1);
    EXPECT_EQ(k.LastInput(), (1 + 1 + 2) + 100);
}

} // namespace
} // namespace datagraph::test
