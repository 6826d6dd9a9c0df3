#include <datagraph/Graph.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace datagraph::test {
namespace {

// The observable state without object identities, for comparing a graph with its copy.
GraphSnapshot Shape(const Graph& graph) {
    GraphSnapshot shape(graph);
    for (auto& entry : shape.nodes) {
        entry.second.object = nullptr;
    }
    for (auto& entry : shape.pins) {
        entry.second.data = nullptr;
    }
    return shape;
}

// main:  A --a.out->b1-- B --bOut->c.in-- C      B is also in `other`; C is in `other` only.
// a.out holds 1 (marked), b2 and c.in hold one shared 20 (b2's mark cleared); A is dirty and
// B disabled.
class GraphCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        b1 = b->AddInput(typeid(IntValue));
        b2 = b->AddInput(typeid(IntValue));
        bOut = b->AddOutput(typeid(IntValue));
        b->SetBody([out = bOut](const DataMap& inputs) {
            int sum = 0;
            for (const auto& entry : inputs) {
                sum += IntOf(entry.second);
            }
            return DataMap{{out, Int(sum)}};
        });
        source->CreateNode(a.function, GetNullGUID());
        source->CreateNode(b, GetNullGUID());
        source->CreateNode(c.function, other);
        source->AssignNodeToExecutionSubgraphs(b->GetId(), other);
        source->LinkPins(a.out, b1);
        source->LinkPins(bOut, c.in);
        source->PutDataOnPin(a.out, std::make_shared<IntValue>(1, aCounter));
        const auto shared = std::make_shared<IntValue>(20, sharedCounter);
        source->PutDataOnPin(b2, shared);
        source->PutDataOnPin(c.in, shared);
        source->GetTraversablePin(b2).SetUpdatedData(false);
        source->SetDirty(a.Id(), true);
        source->GetNodes().at(b->GetId())->SetDisabled(true);
    }

    const GUID other = CreateGUID();
    const IntNode a = CountingSource();
    const std::shared_ptr<StubFunction> b = std::make_shared<StubFunction>();
    GUID b1, b2, bOut;
    const IntNode c = Sink();
    const std::shared_ptr<CallCounter> aCounter = std::make_shared<CallCounter>();
    const std::shared_ptr<CallCounter> sharedCounter = std::make_shared<CallCounter>();
    std::unique_ptr<Graph> source = std::make_unique<Graph>(CreateGUID());
};

TEST_F(GraphCopyTest, CopyHasTheSameShapeWithOneClonePerNodeAndValueAndNothingRun) {
    const int getTypesBefore = sharedCounter->getTypes;

    const Graph copy(*source);

    EXPECT_EQ(Shape(copy), Shape(*source));
    EXPECT_EQ(copy.GetPinToPinEdges(), source->GetPinToPinEdges());
    EXPECT_EQ(a.function->Calls().clones, 1);
    EXPECT_EQ(b->Calls().clones, 1);
    EXPECT_EQ(c.function->Calls().clones, 1);
    EXPECT_EQ(aCounter->clones, 1);
    EXPECT_EQ(sharedCounter->clones, 2);
    EXPECT_EQ(sharedCounter->getTypes, getTypesBefore);
    EXPECT_EQ(a.Executes() + b->Calls().executes + c.Executes(), 0);
}

TEST_F(GraphCopyTest, EditingOrRunningOneGraphLeavesTheOtherAsItWas) {
    const GraphSnapshot sourceBefore(*source);
    Graph copy(*source);
    const GraphSnapshot copyBefore(copy);

    copy.Traverse();
    copy.PutDataOnPin(b1, Int(5));
    copy.GetTraversablePin(a.out).SetUpdatedData(false);
    copy.SetDirty(b->GetId(), true);
    copy.GetNodes().at(b->GetId())->SetDisabled(false);
    copy.UnlinkInputPin(c.in);
    copy.DestroyNode(a.Id());
    copy.CreateNode(std::make_shared<StubFunction>(), other);

    EXPECT_EQ(GraphSnapshot(*source), sourceBefore);

    Graph second(*source);
    const GraphSnapshot secondBefore(second);
    source->Traverse();
    source->DestroyNode(c.Id());

    EXPECT_EQ(GraphSnapshot(second), secondBefore);
}

TEST_F(GraphCopyTest, CopyMadeDuringATraversalIsNotTraversing) {
    bool copied = false;
    bool copyRan = false;
    a.function->SetBody([&](const DataMap&) {
        if (!std::exchange(copied, true)) {
            Graph(*source).Traverse();
            copyRan = true;
        }
        return DataMap{{a.out, Int(1)}};
    });

    source->Traverse();

    EXPECT_TRUE(copyRan);
}

TEST_F(GraphCopyTest, AssignmentGivesTheTargetNewNodesBoundToTheTarget) {
    Graph target(CreateGUID());
    const IntNode old = Sink();
    target.CreateNode(old.function, GetNullGUID());

    target = *source;

    EXPECT_EQ(Shape(target), Shape(*source));
    EXPECT_FALSE(target.HasNode(old.Id()));
    target.GetTraversableNode(b->GetId()).Execute();
    EXPECT_EQ(IntOf(target.GetDataFromPin(bOut)), 20);
    EXPECT_EQ(source->GetDataFromPin(bOut), nullptr);

    source.reset();
    target.Traverse();
    EXPECT_EQ(IntOf(target.GetDataFromPin(c.in)), 21);
}

TEST_F(GraphCopyTest, CloneReturningNothingFailsAndChangesNeitherGraph) {
    b->MakeCloneReturnNothing();
    Graph target(CreateGUID());
    target.CreateNode(std::make_shared<StubFunction>(), GetNullGUID());
    const GraphSnapshot sourceBefore(*source);
    const GraphSnapshot targetBefore(target);

    EXPECT_GRAPH_EXCEPTION(Graph copy(*source), "Node functions cannot be null");
    EXPECT_GRAPH_EXCEPTION(target = *source, "Node functions cannot be null");

    EXPECT_EQ(GraphSnapshot(*source), sourceBefore);
    EXPECT_EQ(GraphSnapshot(target), targetBefore);
}

TEST_F(GraphCopyTest, NodeCopySharesItsFunctionAndGraphWhilePinCopyClonesItsValue) {
    const Node& original = source->GetConstNode(b->GetId());
    Node nodeCopy(original);

    EXPECT_EQ(&nodeCopy.GetNodeFunction(), &original.GetNodeFunction());
    EXPECT_EQ(nodeCopy.GetInputPins(), (IdentifierSet{b1, b2}));
    EXPECT_TRUE(nodeCopy.GetDisabled());
    EXPECT_EQ(b->Calls().clones, 0);
    nodeCopy.Execute();
    EXPECT_EQ(IntOf(source->GetDataFromPin(bOut)), 20);

    const Pin& pin = source->GetConstPin(b2);
    const Pin pinCopy(pin);

    EXPECT_EQ(pinCopy.GetId(), b2);
    EXPECT_TRUE(pinCopy.GetDataType() == typeid(IntValue));
    EXPECT_FALSE(pinCopy.HasUpdatedData());
    EXPECT_NE(pinCopy.GetData(), pin.GetData());
    EXPECT_EQ(IntOf(pinCopy.GetData()), 20);
    EXPECT_EQ(sharedCounter->clones, 1);
    EXPECT_EQ(Pin(source->GetConstPin(b1)).GetData(), nullptr);
}

} // namespace
} // namespace datagraph::test
