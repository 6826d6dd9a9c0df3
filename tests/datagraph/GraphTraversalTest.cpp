#include <datagraph/Graph.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace datagraph::test {
namespace {

const char* const kNestedTraverse = "Requested a Traverse within the Traverse of the graph.  This "
                                    "is often due to a node causing an extra workbook commit";
const wchar_t* const kCaughtMessage = L"Caught non-fatal graph exception when traversing the graph";

class GraphTraversalTest : public ::testing::Test {
protected:
    IntNode Add(IntNode node, const GUID& subgraph = GetNullGUID()) {
        graph.CreateNode(node.function, subgraph);
        return node;
    }

    bool Marked(const GUID& pinId) { return graph.GetTraversablePin(pinId).HasUpdatedData(); }

    void ExpectCaughtFailures(const LogCapture& log, size_t count) {
        ASSERT_EQ(log.Entries().size(), count);
        for (const LogCapture::Entry& entry : log.Entries()) {
            EXPECT_EQ(entry.severity, KLog::Severity::Info);
            EXPECT_EQ(entry.message, kCaughtMessage);
        }
    }

    const GUID mainSubgraph = CreateGUID();
    Graph graph{mainSubgraph};
};

// A --a->b-- B --c
TEST_F(GraphTraversalTest, TypicalRunExecutesSourceThenRelayAndHandsTheSameValueAlong) {
    IntNode a = Add(CountingSource());
    const IntNode b = Add(Increment(10));
    graph.LinkPins(a.out, b.in);

    graph.Traverse();

    EXPECT_EQ(a.Executes(), 1);
    EXPECT_TRUE(a.function->Calls().lastInputs.empty());
    const std::shared_ptr<const IDataValue> v = graph.GetDataFromPin(a.out);
    EXPECT_EQ(IntOf(v), 1);
    EXPECT_EQ(graph.GetDataFromPin(b.in), v);
    ASSERT_EQ(b.Executes(), 1);
    EXPECT_EQ(b.function->Calls().lastInputs.at(b.in), v);
    EXPECT_EQ(IntOf(graph.GetDataFromPin(b.out)), 11);
    EXPECT_TRUE(Marked(a.out));
    EXPECT_TRUE(Marked(b.in));
    EXPECT_TRUE(Marked(b.out));

    // Nothing clears the marks, so the next run executes both again with A's newest value.
    graph.Traverse();

    EXPECT_EQ(a.Executes(), 2);
    ASSERT_EQ(b.Executes(), 2);
    EXPECT_EQ(b.LastInput(), 2);
    EXPECT_EQ(IntOf(graph.GetDataFromPin(b.out)), 12);

    // A source that produces nothing still hands its old, still marked value on.
    const std::shared_ptr<const IDataValue> old = graph.GetDataFromPin(a.out);
    a.function->SetOutputs({});
    graph.Traverse();

    ASSERT_EQ(b.Executes(), 3);
    EXPECT_EQ(b.function->Calls().lastInputs.at(b.in), old);
}

// A ----> B.first
// Quiet -> B.second   (Quiet returns nothing)
TEST_F(GraphTraversalTest, NodeWithOneOfTwoLinkedInputsMarkedIsSkippedAndKeepsTheMark) {
    const IntNode a = Add(CountingSource());
    IntNode quiet = CountingSource();
    quiet.function->SetOutputs({});
    Add(quiet);
    auto b = std::make_shared<StubFunction>();
    const GUID first = b->AddInput(typeid(IntValue));
    const GUID second = b->AddInput(typeid(IntValue));
    graph.CreateNode(b, GetNullGUID());
    graph.LinkPins(a.out, first);
    graph.LinkPins(quiet.out, second);

    graph.Traverse();

    EXPECT_EQ(b->Calls().executes, 0);
    EXPECT_TRUE(Marked(first));
    EXPECT_EQ(IntOf(graph.GetDataFromPin(first)), 1);
    EXPECT_FALSE(Marked(second));

    graph.PutDataOnPin(second, Int(5));
    graph.Traverse();

    ASSERT_EQ(b->Calls().executes, 1);
    EXPECT_EQ(IntOf(b->Calls().lastInputs.at(first)), 2);
    EXPECT_EQ(IntOf(b->Calls().lastInputs.at(second)), 5);
}

// A --> Nested.in    Nested.out (marked by the host) --> Late.in (marked by the host)
// A --> Stray.in     (Stray returns a value for its own input pin)
// Nested asks the graph to traverse and lets the refusal escape.
TEST_F(GraphTraversalTest, TraverseFromInsideTheRunIsRefusedAndEachCaughtFailureIsLoggedOnce) {
    const IntNode a = Add(CountingSource());
    IntNode nested = Add(Increment());
    std::string message;
    nested.function->SetBody([this, &message](const DataMap&) {
        try {
            graph.Traverse();
        } catch (const GraphException& e) {
            message = e.what();
            throw;
        }
        return DataMap{};
    });
    IntNode stray = Add(Increment());
    stray.function->SetBody([in = stray.in](const DataMap&) { return DataMap{{in, Int(9)}}; });
    const IntNode late = Add(Sink());
    graph.LinkPins(a.out, nested.in);
    graph.LinkPins(a.out, stray.in);
    graph.LinkPins(nested.out, late.in);
    graph.PutDataOnPin(nested.out, Int(40));
    graph.PutDataOnPin(late.in, Int(7));
    LogCapture log;

    graph.Traverse();

    EXPECT_EQ(message, kNestedTraverse);
    ExpectCaughtFailures(log, 2);
    EXPECT_EQ(a.Executes(), 1);
    EXPECT_EQ(IntOf(graph.GetDataFromPin(stray.in)), 1);
    ASSERT_EQ(late.Executes(), 1);
    EXPECT_EQ(late.LastInput(), 7); // nothing of the failed node moved
    EXPECT_NO_THROW(graph.Traverse());
}

// A --> Host --> S
TEST_F(GraphTraversalTest, HostExceptionEndsTheRunAndTheNextTraverseIsAccepted) {
    const IntNode a = Add(CountingSource());
    IntNode host = Add(Increment());
    const IntNode s = Add(Sink());
    graph.LinkPins(a.out, host.in);
    graph.LinkPins(host.out, s.in);
    bool fail = true;
    host.function->SetBody([&fail, in = host.in, out = host.out](const DataMap& inputs) {
        if (fail) {
            throw HostError("host failure");
        }
        return DataMap{{out, inputs.at(in)}};
    });
    LogCapture log;

    EXPECT_THROW(graph.Traverse(), HostError);

    EXPECT_EQ(s.Executes(), 0);
    EXPECT_TRUE(log.Entries().empty());

    fail = false;
    graph.Traverse();

    EXPECT_EQ(s.Executes(), 1);
}

// A --> B --> C; on its first run A destroys C and adds P --> Q
TEST_F(GraphTraversalTest, NodesDestroyedOrCreatedDuringTheRunMissTheirTurn) {
    IntNode a = Add(CountingSource());
    const IntNode b = Add(Increment());
    const IntNode c = Add(Sink());
    graph.LinkPins(a.out, b.in);
    graph.LinkPins(b.out, c.in);
    const IntNode p = CountingSource();
    const IntNode q = Sink();
    a.function->SetBody([&](const DataMap&) {
        if (graph.HasNode(c.Id())) {
            graph.DestroyNode(c.Id());
            Add(p);
            Add(q);
            graph.LinkPins(p.out, q.in);
        }
        return DataMap{{a.out, Int(1)}};
    });

    graph.Traverse();

    EXPECT_EQ(b.Executes(), 1);
    EXPECT_EQ(c.Executes(), 0);
    EXPECT_EQ(q.Executes(), 0);

    graph.Traverse();

    EXPECT_EQ(q.Executes(), 1);
}

// A --> Self --> T, A --> U, and Self destroys its own node, then returns a value for its
// vanished output
TEST_F(GraphTraversalTest, NodeThatDestroysItselfWhileExecutingEndsCleanly) {
    const IntNode a = Add(CountingSource());
    IntNode self = Increment();
    const IntNode t = Add(Sink());
    const IntNode u = Add(Sink());
    graph.LinkPins(a.out, u.in);
    const GUID selfId = self.Id();
    bool ran = false;
    self.function->SetBody([this, &ran, selfId, out = self.out](const DataMap&) {
        graph.DestroyNode(selfId);
        ran = true;
        return DataMap{{out, Int(1)}};
    });
    graph.CreateNode(self.function, GetNullGUID());
    graph.LinkPins(a.out, self.in);
    graph.LinkPins(self.out, t.in);
    self.function.reset(); // only the node holds the function now
    LogCapture log;

    graph.Traverse();

    EXPECT_TRUE(ran);
    EXPECT_FALSE(graph.HasNode(selfId));
    ExpectCaughtFailures(log, 1); // "Could not find the indicated output pin."
    EXPECT_EQ(t.Executes(), 0);
    graph.Traverse();
    EXPECT_EQ(u.Executes(), 2);
}

} // namespace
} // namespace datagraph::test
