#include <datagraph/Graph.h>
#include <datagraph/ITraversalObserver.h>
#include <datagraph/NodeExecutingGraphTraverser.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace datagraph::test {
namespace {

// What the observer heard about one node.
struct Heard {
    std::string what; // "ran", "skipped" or "failed"
    SkipReason reason = SkipReason::Unconnected;
    IdentifierSet unmarked;
    std::string message;
    int reports = 0;
};

class RecordingObserver : public ITraversalObserver {
public:
    void NodeRan(const GUID& nodeId, std::chrono::nanoseconds) override {
        Record(nodeId).what = "ran";
    }

    void NodeSkipped(const GUID& nodeId, SkipReason reason,
                     const IdentifierSet& unmarkedInputPins) override {
        Heard& heard = Record(nodeId);
        heard.what = "skipped";
        heard.reason = reason;
        heard.unmarked = unmarkedInputPins;
    }

    void NodeFailed(const GUID& nodeId, const std::string& message) override {
        Heard& heard = Record(nodeId);
        heard.what = "failed";
        heard.message = message;
    }

    std::map<GUID, Heard> heard;

private:
    Heard& Record(const GUID& nodeId) {
        Heard& entry = heard[nodeId];
        ++entry.reports;
        return entry;
    }
};

class TraversalObserverTest : public TwoSubgraphsTest {
protected:
    RecordingObserver observer;
};

//  main:  A --> B        A --> J.in     Q (no output) --> J.second       U (no links)
//         A --> F (raises GraphException)
//  other: A --> O
TEST_F(TraversalObserverTest, TellsForEveryNodeWhetherItRanWasSkippedAndWhyOrFailed) {
    const IntNode a = Add(CountingSource());
    const IntNode b = Add(Sink());
    const IntNode u = Add(Sink());
    IntNode j = Sink();
    const GUID second = j.function->AddInput(typeid(IntValue));
    Add(j);
    const IntNode q = Add(CountingSource());
    q.function->SetOutputs({});
    const IntNode f = Add(Sink());
    f.function->SetBody([](const DataMap&) -> DataMap { throw GraphException("no budget"); });
    const IntNode o = Add(Sink(), otherSubgraph);
    graph.LinkPins(a.out, b.in);
    graph.LinkPins(a.out, j.in);
    graph.LinkPins(q.out, second);
    graph.LinkPins(a.out, f.in);
    graph.LinkPins(a.out, o.in);
    LogCapture log;

    graph.Traverse(mainSubgraph, observer);

    EXPECT_EQ(observer.heard.size(), 7u);
    for (const auto& [nodeId, heard] : observer.heard) {
        EXPECT_EQ(heard.reports, 1) << GUIDToString(nodeId);
    }
    EXPECT_EQ(observer.heard[a.Id()].what, "ran");
    EXPECT_EQ(observer.heard[b.Id()].what, "ran");
    EXPECT_EQ(observer.heard[q.Id()].what, "ran");
    EXPECT_EQ(observer.heard[u.Id()].what, "skipped");
    EXPECT_EQ(observer.heard[u.Id()].reason, SkipReason::Unconnected);
    EXPECT_EQ(observer.heard[o.Id()].what, "skipped");
    EXPECT_EQ(observer.heard[o.Id()].reason, SkipReason::OutsideExecutionSubgraph);
    EXPECT_TRUE(observer.heard[o.Id()].unmarked.empty());
    EXPECT_EQ(observer.heard[j.Id()].what, "skipped");
    EXPECT_EQ(observer.heard[j.Id()].reason, SkipReason::InputsNotReady);
    EXPECT_EQ(observer.heard[j.Id()].unmarked, IdentifierSet{second});
    EXPECT_EQ(observer.heard[f.Id()].what, "failed");
    EXPECT_EQ(observer.heard[f.Id()].message, "no budget");
    // The observer adds nothing to the log: still one line per caught failure.
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].message,
              L"Caught non-fatal graph exception when traversing the graph");
    // Skipping O is only about running it: its input was still handed A's value.
    EXPECT_TRUE(graph.GetTraversablePin(o.in).HasUpdatedData());
}

// A --> B, the link joining an int pin to a text pin.
TEST_F(TraversalObserverTest, AFailedMoveDownstreamIsTheUpstreamNodesFailure) {
    const IntNode a = Add(CountingSource());
    IntNode b;
    b.in = b.function->AddInput(typeid(TextValue));
    Add(b);
    graph.LinkPins(a.out, b.in);
    LogCapture log;

    graph.Traverse(mainSubgraph, observer);

    EXPECT_EQ(observer.heard[a.Id()].what, "failed");
    EXPECT_EQ(observer.heard[a.Id()].message, "Data value has incorrect type");
    EXPECT_EQ(observer.heard[b.Id()].what, "skipped");
    EXPECT_EQ(observer.heard[b.Id()].unmarked, IdentifierSet{b.in});
    EXPECT_EQ(log.Entries().size(), 1u);
}

// A --> B
TEST_F(TraversalObserverTest, ObserversOwnFailureReachesTheCallerAndTheNextRunStarts) {
    const IntNode a = Add(CountingSource());
    const IntNode b = Add(Sink());
    graph.LinkPins(a.out, b.in);

    struct ThrowingObserver : ITraversalObserver {
        void NodeRan(const GUID&, std::chrono::nanoseconds) override {
            throw GraphException("observer gave up");
        }
    } throwing;

    EXPECT_GRAPH_EXCEPTION(graph.Traverse(mainSubgraph, throwing), "observer gave up");

    EXPECT_EQ(b.Executes(), 0);
    graph.Traverse(mainSubgraph, observer);
    EXPECT_EQ(observer.heard[b.Id()].what, "ran");
}

// A --> B, run by a host's own traverser, and by a copy of it.
TEST_F(TraversalObserverTest, AHostsTraverserAndItsCopiesReportToTheSameObserver) {
    const IntNode a = Add(CountingSource());
    const IntNode b = Add(Sink());
    graph.LinkPins(a.out, b.in);
    NodeExecutingGraphTraverser traverser(graph, mainSubgraph, &observer);

    NodeExecutingGraphTraverser(traverser).Traverse();
    traverser.Traverse();

    EXPECT_EQ(observer.heard[a.Id()].reports, 2);
    EXPECT_EQ(observer.heard[b.Id()].reports, 2);
    EXPECT_EQ(b.Executes(), 2);
}

} // namespace
} // namespace datagraph::test
