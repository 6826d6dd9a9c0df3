#include <datagraph/Graph.h>
#include <datagraph/IGraphEditObserver.h>
#include <datagraph/NodeExecutingGraphTraverser.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace datagraph::test {
namespace {

// Writes every notice as one line, naming ids by the names the test gave them.
class RecordingObserver : public IGraphEditObserver {
public:
    void Name(const GUID& id, const std::string& name) { names[id] = name; }

    void NodeCreated(const GUID& nodeId) override { Add("NodeCreated " + N(nodeId)); }

    void NodeDestroyed(const GUID& nodeId) override { Add("NodeDestroyed " + N(nodeId)); }

    void PinCreated(const GUID& nodeId, const GUID& pinId, bool outputPin) override {
        Add("PinCreated " + N(nodeId) + " " + N(pinId) + (outputPin ? " out" : " in"));
    }

    void PinDestroyed(const GUID& nodeId, const GUID& pinId, bool outputPin) override {
        Add("PinDestroyed " + N(nodeId) + " " + N(pinId) + (outputPin ? " out" : " in"));
    }

    void LinkMade(const GUID& upstream, const GUID& downstream) override {
        Add("LinkMade " + N(upstream) + " " + N(downstream));
    }

    void LinkRemoved(const GUID& upstream, const GUID& downstream) override {
        Add("LinkRemoved " + N(upstream) + " " + N(downstream));
    }

    void PinDataWritten(const GUID& pinId) override { Add("PinDataWritten " + N(pinId)); }

    void PinMarkSet(const GUID& pinId, bool updatedData) override {
        Add("PinMarkSet " + N(pinId) + (updatedData ? " true" : " false"));
    }

    void NodeDirtySet(const GUID& nodeId, bool dirty) override {
        Add("NodeDirtySet " + N(nodeId) + (dirty ? " true" : " false"));
    }

    void NodeDisabledSet(const GUID& nodeId, bool disabled) override {
        Add("NodeDisabledSet " + N(nodeId) + (disabled ? " true" : " false"));
    }

    void NodeExecuted(const GUID& nodeId) override { Add("NodeExecuted " + N(nodeId)); }

    void NodeAssignedToExecutionSubgraph(const GUID& nodeId, const GUID& subgraph) override {
        Add("NodeAssignedToExecutionSubgraph " + N(nodeId) + " " + N(subgraph));
    }

    void SubgraphEntriesRemoved(const GUID& nodeId) override {
        Add("SubgraphEntriesRemoved " + N(nodeId));
    }

    void GraphCleared() override { Add("GraphCleared"); }

    void GraphAssigned() override { Add("GraphAssigned"); }

    void TraversalFinished(const GUID& subgraph) override {
        Add("TraversalFinished " + N(subgraph));
    }

    /// What was heard since the last call.
    std::vector<std::string> Take() { return std::exchange(heard, {}); }

    bool throwOnEveryNotice = false;

private:
    std::string N(const GUID& id) const {
        auto name = names.find(id);
        return name != names.end() ? name->second : "?";
    }

    void Add(std::string line) {
        heard.push_back(std::move(line));
        if (throwOnEveryNotice) {
            throw HostError("observer failed");
        }
    }

    std::map<GUID, std::string> names;
    std::vector<std::string> heard;
};

using Lines = std::vector<std::string>;

class GraphEditObserverTest : public TwoSubgraphsTest {
protected:
    void SetUp() override {
        observer.Name(mainSubgraph, "main");
        observer.Name(otherSubgraph, "other");
    }

    // A node named `name` with pins `name.in` and `name.out` where it has them.
    IntNode Named(IntNode node, const std::string& name) {
        observer.Name(node.Id(), name);
        for (const auto& pin : node.function->GetInputSchema()) {
            observer.Name(pin.first, name + ".in");
        }
        for (const auto& pin : node.function->GetOutputSchema()) {
            observer.Name(pin.first, name + ".out");
        }
        return node;
    }

    // source A --> increment B --> sink C, built before the observer is attached.
    void BuildChain() {
        a = Add(Named(CountingSource(), "A"));
        b = Add(Named(Increment(), "B"));
        c = Add(Named(Sink(), "C"));
        graph.LinkPins(a.out, b.in);
        graph.LinkPins(b.out, c.in);
    }

    RecordingObserver observer;
    IntNode a, b, c;
};

TEST_F(GraphEditObserverTest, NothingIsHeardWithoutAnObserverOrOnceItIsDetached) {
    BuildChain();
    graph.SetEditObserver(&observer);
    graph.PutDataOnPin(a.out, Int(1));
    graph.SetEditObserver(nullptr);
    graph.PutDataOnPin(a.out, Int(2));
    graph.DestroyNode(c.Id());

    EXPECT_EQ(observer.Take(), Lines{"PinDataWritten A.out"});
}

TEST_F(GraphEditObserverTest, AnotherObserverTakesThePlaceOfThePreviousOne) {
    BuildChain();
    RecordingObserver second;
    graph.SetEditObserver(&observer);
    graph.SetEditObserver(&second);
    graph.SetDirty(a.Id(), true);

    EXPECT_TRUE(observer.Take().empty());
    EXPECT_EQ(second.Take(), Lines{"NodeDirtySet ? true"});
}

TEST_F(GraphEditObserverTest, NodesAndPinsAreHeardOnceMadeAndOnceDestroyed) {
    graph.SetEditObserver(&observer);
    a = Add(Named(Increment(), "A")); // its schema's pins come with the node
    const GUID extra = CreateGUID();
    observer.Name(extra, "x");
    graph.CreateOutputPin(a.Id(), extra, typeid(IntValue));
    EXPECT_TRUE(graph.HasPin(extra));
    graph.DestroyOutputPin(a.Id(), extra);
    graph.DestroyInputPin(a.Id(), a.in);
    graph.DestroyNode(a.Id());

    EXPECT_EQ(observer.Take(), (Lines{"NodeCreated A", "PinCreated A x out", "PinDestroyed A x out",
                                      "PinDestroyed A A.in in", "NodeDestroyed A"}));
}

TEST_F(GraphEditObserverTest, LinksAreHeardWhenTheyChangeAndOnlyThen) {
    a = Add(Named(CountingSource(), "A"));
    b = Add(Named(Increment(), "B"));
    graph.SetEditObserver(&observer);
    graph.LinkPins(a.out, b.in);
    graph.LinkPins(a.out, b.in); // already linked: nothing changes
    graph.UnlinkPins(a.out, b.in);
    graph.UnlinkInputPin(b.in); // no link left
    graph.LinkPins(a.out, b.in);
    graph.UnlinkInputPin(b.in);

    EXPECT_EQ(observer.Take(), (Lines{"LinkMade A.out B.in", "LinkRemoved A.out B.in",
                                      "LinkMade A.out B.in", "LinkRemoved A.out B.in"}));
}

// B's pins are linked upstream, downstream, to each other and B.out twice: every link is heard
// once, all before the node's own notice.
TEST_F(GraphEditObserverTest, TheLinksOfADestroyedNodeAreEachHeardOnceBeforeIt) {
    BuildChain();
    const IntNode d = Add(Named(Sink(), "D"));
    const GUID loop = CreateGUID();
    observer.Name(loop, "B.loop");
    graph.CreateInputPin(b.Id(), loop, typeid(IntValue));
    graph.LinkPins(b.out, loop);
    graph.LinkPins(b.out, d.in);
    graph.SetEditObserver(&observer);

    graph.DestroyNode(b.Id());

    Lines heard = observer.Take();
    ASSERT_EQ(heard.size(), 5u);
    EXPECT_EQ(heard.back(), "NodeDestroyed B");
    heard.pop_back();
    std::sort(heard.begin(), heard.end());
    EXPECT_EQ(heard, (Lines{"LinkRemoved A.out B.in", "LinkRemoved B.out B.loop",
                            "LinkRemoved B.out C.in", "LinkRemoved B.out D.in"}));
}

TEST_F(GraphEditObserverTest, TheLinksOfADestroyedPinAreHeardBeforeIt) {
    BuildChain();
    const IntNode d = Add(Named(Sink(), "D"));
    graph.LinkPins(b.out, d.in);
    const GUID self = CreateGUID();
    observer.Name(self, "B.self");
    graph.CreateInputPin(b.Id(), self, typeid(IntValue));
    graph.LinkPins(self, self); // a pin linked to itself is one link
    graph.SetEditObserver(&observer);

    graph.DestroyOutputPin(b.Id(), b.out);
    graph.DestroyInputPin(b.Id(), b.in);
    graph.DestroyInputPin(b.Id(), self);

    EXPECT_EQ(observer.Take(),
              (Lines{"LinkRemoved B.out C.in", "LinkRemoved B.out D.in", "PinDestroyed B B.out out",
                     "LinkRemoved A.out B.in", "PinDestroyed B B.in in",
                     "LinkRemoved B.self B.self", "PinDestroyed B B.self in"}));
}

TEST_F(GraphEditObserverTest, ValuesMarksAndNodeMarksAreHeardFromEveryWayIn) {
    BuildChain();
    graph.SetEditObserver(&observer);
    graph.PutDataOnPin(b.in, Int(1));
    graph.GetTraversablePin(b.out).SetData(Int(2));
    graph.GetTraversablePin(b.out).SetUpdatedData(false);
    graph.GetTraversablePin(b.out).SetUpdatedData(false); // each call counts
    graph.SetDirty(a.Id(), true);
    graph.GetTraversableNode(a.Id()).SetDirty(false);
    graph.GetNodes().at(c.Id())->SetDisabled(true);

    EXPECT_EQ(observer.Take(),
              (Lines{"PinDataWritten B.in", "PinDataWritten B.out", "PinMarkSet B.out false",
                     "PinMarkSet B.out false", "NodeDirtySet A true", "NodeDirtySet A false",
                     "NodeDisabledSet C true"}));

    // A copy of a node, and a pin of the host's own, are nobody's edit.
    Node copy(graph.GetConstNode(a.Id()));
    copy.SetDirty(true);
    Pin own(typeid(IntValue), CreateGUID());
    own.SetData(Int(3));
    EXPECT_TRUE(observer.Take().empty());
}

TEST_F(GraphEditObserverTest, SubgraphEntriesAreHeardAsTheyAreFiledAndRemoved) {
    BuildChain();
    const GUID absent = CreateGUID();
    observer.Name(absent, "absent");
    graph.SetEditObserver(&observer);
    graph.AssignNodeToExecutionSubgraphs(a.Id(), otherSubgraph);
    graph.AssignNodeToExecutionSubgraphs(absent, otherSubgraph);
    graph.DestroyNode(absent);       // its entry goes
    graph.DestroyNode(absent);       // nothing left to remove
    graph.DestroyNode(CreateGUID()); // names nothing

    EXPECT_EQ(observer.Take(), (Lines{"NodeAssignedToExecutionSubgraph A other",
                                      "NodeAssignedToExecutionSubgraph absent other",
                                      "SubgraphEntriesRemoved absent"}));
}

TEST_F(GraphEditObserverTest, ClearAndAssignmentAreOneNoticeEach) {
    BuildChain();
    Graph other(mainSubgraph);
    other.CreateNode(CountingSource().function, GetNullGUID());
    graph.SetEditObserver(&observer);

    graph = other;
    EXPECT_EQ(observer.Take(), Lines{"GraphAssigned"});
    Graph& self = graph;
    graph = self; // assigning a graph to itself changes nothing
    EXPECT_TRUE(observer.Take().empty());

    graph.Clear(); // the observer stayed with the graph through its assignment
    graph.Clear();
    EXPECT_EQ(observer.Take(), (Lines{"GraphCleared", "GraphCleared"}));

    // A copy starts without the observer.
    BuildChain();
    observer.Take();
    Graph copy(graph);
    copy.DestroyNode(a.Id());
    EXPECT_TRUE(observer.Take().empty());
}

TEST_F(GraphEditObserverTest, ARefusedRequestIsNotHeard) {
    BuildChain();
    graph.SetEditObserver(&observer);
    auto clash = std::make_shared<StubFunction>();
    clash->AddInput(typeid(IntValue), a.out); // a pin id already taken

    EXPECT_THROW(graph.CreateNode(a.function, GetNullGUID()), GraphException);
    EXPECT_THROW(graph.CreateNode(clash, GetNullGUID()), GraphException);
    EXPECT_THROW(graph.CreateInputPin(a.Id(), b.in, typeid(IntValue)), GraphException);
    EXPECT_THROW(graph.CreateInputPin(CreateGUID(), CreateGUID(), typeid(IntValue)),
                 GraphException);
    EXPECT_THROW(graph.DestroyInputPin(b.Id(), b.out), GraphException);
    EXPECT_THROW(graph.LinkPins(a.out, CreateGUID()), GraphException);
    EXPECT_THROW(graph.LinkPins(c.in, b.in), GraphException); // b.in already has another link
    EXPECT_THROW(graph.UnlinkPins(c.in, b.in), GraphException);
    EXPECT_THROW(graph.PutDataOnPin(b.in, Double(1.0)), GraphException);
    EXPECT_THROW(graph.PutDataOnPin(b.in, nullptr), GraphException);
    EXPECT_THROW(graph.SetDirty(CreateGUID(), true), std::out_of_range);

    EXPECT_TRUE(observer.Take().empty());
}

TEST_F(GraphEditObserverTest, ATraversalIsOneSummaryWhateverItWrites) {
    BuildChain();
    // C writes a pin of its own graph while the traversal runs: that is the traversal's work.
    c.function->SetBody([this](const DataMap&) {
        graph.PutDataOnPin(b.in, Int(7));
        return DataMap{};
    });
    graph.SetEditObserver(&observer);

    graph.Traverse();
    EXPECT_EQ(c.Executes(), 1);
    graph.TraverseChanged(otherSubgraph);
    graph.Traverse(mainSubgraph);
    EXPECT_EQ(observer.Take(), (Lines{"TraversalFinished main", "TraversalFinished other",
                                      "TraversalFinished main"}));
}

TEST_F(GraphEditObserverTest, AStructuralEditDuringATraversalIsHeardAndARefusedOneIsNot) {
    BuildChain();
    const GUID made = CreateGUID();
    observer.Name(made, "made");
    c.function->SetBody([this, made](const DataMap&) {
        graph.CreateOutputPin(c.Id(), made, typeid(IntValue));
        graph.Traverse(); // refused: the graph is already traversing
        return DataMap{};
    });
    graph.SetEditObserver(&observer);

    graph.Traverse();

    EXPECT_EQ(observer.Take(), (Lines{"PinCreated C made out", "TraversalFinished main"}));
}

TEST_F(GraphEditObserverTest, ATraversalThatRaisesIsStillSummedUp) {
    BuildChain();
    b.function->SetBody([](const DataMap&) -> DataMap { throw HostError("host failure"); });
    graph.SetEditObserver(&observer);

    EXPECT_THROW(graph.Traverse(), HostError);

    EXPECT_EQ(observer.Take(), Lines{"TraversalFinished main"});
}

// Outside the graph's own traversal, a node runs through the public interfaces, each write heard.
TEST_F(GraphEditObserverTest, ANodeRunOutsideATraversalIsHeardWithTheValuesItsRunnerMoves) {
    BuildChain();
    graph.SetEditObserver(&observer);
    graph.GetTraversableNode(a.Id()).Execute();
    EXPECT_EQ(observer.Take(), Lines{"NodeExecuted A"});

    NodeExecutingGraphTraverser(graph, mainSubgraph).Traverse();
    EXPECT_EQ(c.LastInput(), 3); // A ran for the second time, B added one
    EXPECT_EQ(observer.Take(), (Lines{"NodeExecuted A", "PinDataWritten B.in", "NodeExecuted B",
                                      "PinDataWritten C.in", "NodeExecuted C"}));
}

// The change is complete before the observer hears of it, so its exception reaches the caller
// with the change applied and the graph whole.
TEST_F(GraphEditObserverTest, AnObserverThatThrowsLeavesEveryChangeAppliedAndTheGraphWhole) {
    BuildChain();
    const IntNode d = Add(Named(Sink(), "D"));
    graph.LinkPins(b.out, d.in);
    graph.SetEditObserver(&observer);
    observer.throwOnEveryNotice = true;

    EXPECT_THROW(graph.DestroyNode(b.Id()), HostError);
    EXPECT_EQ(observer.Take().size(), 1u); // the rest of that call's notices are not sent
    EXPECT_FALSE(graph.HasNode(b.Id()));
    EXPECT_FALSE(graph.HasPin(b.in));
    EXPECT_FALSE(graph.HasPin(b.out));
    EXPECT_TRUE(graph.GetDownstreamPins(a.out).empty());
    EXPECT_FALSE(graph.HasUpstreamPin(c.in));
    EXPECT_FALSE(graph.HasUpstreamPin(d.in));
    EXPECT_TRUE(graph.GetPinToPinEdges().empty());

    EXPECT_THROW(graph.PutDataOnPin(c.in, Int(5)), HostError);
    EXPECT_EQ(IntOf(graph.GetDataFromPin(c.in)), 5);
    EXPECT_THROW(graph.LinkPins(a.out, c.in), HostError);
    EXPECT_EQ(graph.GetUpstreamPin(c.in), a.out);
    EXPECT_THROW(graph.Traverse(), HostError);
    EXPECT_EQ(c.LastInput(), 1);
    EXPECT_THROW(graph.Clear(), HostError);
    EXPECT_TRUE(graph.GetNodes().empty());
    EXPECT_TRUE(graph.GetAllPins().empty());

    // The graph goes on working once the observer behaves.
    observer.throwOnEveryNotice = false;
    BuildChain();
    graph.Traverse();
    EXPECT_EQ(c.LastInput(), 2);
}

} // namespace
} // namespace datagraph::test
