#include <datagraph/Graph.h>

#include "IntNodes.h"
#include "TestSupport.h"
#include "ThrowingClones.h"

#include <gtest/gtest.h>

#include <memory>

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

// Every value of `from` sits on the same pin of `to` as a distinct object with the same int.
void ExpectValuesCopied(const Graph& from, const Graph& to) {
    for (const Pin* pin : from.GetAllPins()) {
        const auto original = pin->GetData();
        const auto copied = to.GetDataFromPin(pin->GetId());
        if (!original) {
            EXPECT_EQ(copied, nullptr);
            continue;
        }
        ASSERT_NE(copied, nullptr);
        EXPECT_NE(copied, original);
        EXPECT_EQ(IntOf(copied), IntOf(original));
    }
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

TEST_F(GraphCopyTest, CopyOfAnEmptyGraphIsEmptyWithTheSameDefaultSubgraph) {
    const Graph empty(CreateGUID());

    const Graph copy(empty);

    EXPECT_EQ(GraphSnapshot(copy), GraphSnapshot(empty));
    EXPECT_TRUE(copy.GetNodes().empty());
}

TEST_F(GraphCopyTest, CopyHasTheSameShapeInNewObjectsWithOneClonePerNodeAndValue) {
    const int getTypesBefore = sharedCounter->getTypes;

    const Graph copy(*source);

    EXPECT_EQ(Shape(copy), Shape(*source));
    EXPECT_EQ(copy.GetPinToPinEdges(), source->GetPinToPinEdges());
    for (const GUID& nodeId : source->GetNodesInArbitraryOrder()) {
        EXPECT_NE(&copy.GetConstNode(nodeId), &source->GetConstNode(nodeId));
        EXPECT_NE(&copy.GetConstNode(nodeId).GetNodeFunction(),
                  &source->GetConstNode(nodeId).GetNodeFunction());
    }
    for (const Pin* pin : source->GetAllPins()) {
        EXPECT_NE(&copy.GetConstPin(pin->GetId()), pin);
    }
    ExpectValuesCopied(*source, copy);
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

TEST_F(GraphCopyTest, CopyStaysUsableAndRunnableAfterTheSourceIsDestroyed) {
    Graph copy(*source);
    source.reset();

    copy.Traverse();

    EXPECT_EQ(IntOf(copy.GetDataFromPin(c.in)), 21);
    EXPECT_EQ(copy.GetConstNode(b->GetId()).GetInputPins(), (IdentifierSet{b1, b2}));
}

TEST_F(GraphCopyTest, CopyMadeDuringATraversalIsNotTraversing) {
    bool copied = false;
    bool copyRan = false;
    a.function->SetBody([&](const DataMap&) {
        if (!copied) {
            copied = true;
            Graph copy(*source);
            copy.Traverse();
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
    ExpectValuesCopied(*source, target);
    EXPECT_NE(&target.GetConstNode(b->GetId()), &source->GetConstNode(b->GetId()));
    target.GetTraversableNode(b->GetId()).Execute();
    EXPECT_EQ(IntOf(target.GetDataFromPin(bOut)), 20);
    EXPECT_EQ(source->GetDataFromPin(bOut), nullptr);
    target.SetDirty(b->GetId(), true);
    EXPECT_FALSE(source->GetConstNode(b->GetId()).GetDirty());

    source.reset();
    target.Traverse();
    EXPECT_EQ(IntOf(target.GetDataFromPin(c.in)), 21);
}

TEST_F(GraphCopyTest, SelfAssignmentChangesNothing) {
    const GraphSnapshot before(*source);
    Graph& alias = *source;

    *source = alias;

    EXPECT_EQ(GraphSnapshot(*source), before);
    EXPECT_EQ(b->Calls().clones, 0);
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

TEST_F(GraphCopyTest, CloneThatThrowsPassesThroughAndLeavesTheAssignmentTargetAsItWas) {
    Graph target(*source);
    const GraphSnapshot targetBefore(target);
    Graph throwingFunction(CreateGUID());
    throwingFunction.CreateNode(std::make_shared<ThrowingCloneFunction>(), GetNullGUID());
    Graph throwingValue(CreateGUID());
    const IntNode sink = Sink();
    throwingValue.CreateNode(sink.function, GetNullGUID());
    throwingValue.PutDataOnPin(sink.in, std::make_shared<ThrowingCloneValue>(3));

    EXPECT_THROW(Graph copy(throwingFunction), HostError);
    EXPECT_THROW(Graph copy(throwingValue), HostError);
    EXPECT_THROW(target = throwingFunction, HostError);
    EXPECT_THROW(target = throwingValue, HostError);

    EXPECT_EQ(GraphSnapshot(target), targetBefore);
}

TEST_F(GraphCopyTest, NodeCopySharesItsFunctionAndGraphWhilePinCopyClonesItsValue) {
    const Node& original = source->GetConstNode(b->GetId());
    const Node nodeCopy(original);

    EXPECT_EQ(&nodeCopy.GetNodeFunction(), &original.GetNodeFunction());
    EXPECT_EQ(nodeCopy.GetInputPins(), (IdentifierSet{b1, b2}));
    EXPECT_TRUE(nodeCopy.GetDisabled());
    EXPECT_EQ(b->Calls().clones, 0);

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
