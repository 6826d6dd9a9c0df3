#include <datagraph/FunctionNode.h>
#include <datagraph/Graph.h>
#include <datagraph/UbernodeNodeFunction.h>

#include "StubFunction.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace datagraph::test {
namespace {

const char* const kNestedTraverse = "Requested a Traverse within the Traverse of the graph.  This "
                                    "is often due to a node causing an extra workbook commit";

// The names of the nodes that ran and that failed, in the order of the run.
class RunLog : public ITraversalObserver {
public:
    explicit RunLog(const Graph& graph)
        : graph(graph) {}

    void NodeRan(const GUID& nodeId, std::chrono::nanoseconds) override {
        ran.push_back(NameOf(nodeId));
    }

    void NodeFailed(const GUID& nodeId, const std::string&) override {
        failed.push_back(NameOf(nodeId));
    }

    std::vector<std::string> ran;
    std::vector<std::string> failed;

private:
    std::string NameOf(const GUID& nodeId) const {
        return graph.GetConstNode(nodeId).GetNodeFunction().GetName();
    }

    const Graph& graph;
};

using Names = std::vector<std::string>;

class TraverseChangedTest : public ::testing::Test {
protected:
    template <typename Function> std::shared_ptr<Function> Add(std::shared_ptr<Function> node) {
        graph.CreateNode(node, GetNullGUID());
        return node;
    }

    // The names of the nodes that one TraverseChanged of the default subgraph ran.
    Names Changed() { return ChangedIn(graph).ran; }

    static RunLog ChangedIn(Graph& graph) {
        RunLog log(graph);
        graph.TraverseChanged(graph.GetDefaultExecutionSubgraphID(), log);
        return log;
    }

    int Result(const GUID& pin) const { return GetValueFromPin<int>(graph, pin); }

    Graph graph{CreateGUID()};
};

// a --> double --> plus (x + offset)
TEST_F(TraverseChangedTest, ChainRunsOnlyFromTheEditOnwardsAndNothingWithoutAnEdit) {
    const auto a = Add(MakeInputCell<int>("a"));
    const auto twice = Add(MakeFunctionNode("double", {"x"}, {"y"}, [](int x) { return 2 * x; }));
    const auto plus = Add(MakeFunctionNode("plus", {"x", "offset"}, {"sum"},
                                           [](int x, int offset) { return x + offset; }));
    graph.LinkPins(a->Output("value"), twice->Input("x"));
    graph.LinkPins(twice->Output("y"), plus->Input("x"));
    PutValueOnPin(graph, a->Output("value"), 3);
    PutValueOnPin(graph, plus->Input("offset"), 1);

    EXPECT_EQ(Changed(), (Names{"a", "double", "plus"}));
    EXPECT_EQ(Result(plus->Output("sum")), 7);
    const std::shared_ptr<const IDataValue> doubled = graph.GetDataFromPin(twice->Output("y"));

    EXPECT_EQ(Changed(), Names{});
    EXPECT_EQ(graph.GetDataFromPin(twice->Output("y")), doubled);

    PutValueOnPin(graph, plus->Input("offset"), 10);
    EXPECT_EQ(Changed(), Names{"plus"});
    EXPECT_EQ(Result(plus->Output("sum")), 16);

    PutValueOnPin(graph, a->Output("value"), 5);
    EXPECT_EQ(Changed(), (Names{"a", "double", "plus"}));
    EXPECT_EQ(Result(plus->Output("sum")), 20);

    // A Traverse runs everything, and leaves everything up to date.
    graph.Traverse();
    EXPECT_EQ(Changed(), Names{});
}

//      +-> left  (x + 1) -+
// a ---+                  +--> bottom (l * r)
//      +-> right (x * 10) +
TEST_F(TraverseChangedTest, DiamondRunsItsBottomOnceForAChangeAtTheTop) {
    const auto a = Add(MakeInputCell<int>("a"));
    const auto left = Add(MakeFunctionNode("left", {"x"}, {"y"}, [](int x) { return x + 1; }));
    const auto right = Add(MakeFunctionNode("right", {"x"}, {"y"}, [](int x) { return x * 10; }));
    const auto bottom = Add(
        MakeFunctionNode("bottom", {"l", "r"}, {"product"}, [](int l, int r) { return l * r; }));
    graph.LinkPins(a->Output("value"), left->Input("x"));
    graph.LinkPins(a->Output("value"), right->Input("x"));
    graph.LinkPins(left->Output("y"), bottom->Input("l"));
    graph.LinkPins(right->Output("y"), bottom->Input("r"));
    PutValueOnPin(graph, a->Output("value"), 2);
    Changed();

    PutValueOnPin(graph, a->Output("value"), 3);
    const Names ran = Changed();

    ASSERT_EQ(ran.size(), 4u);
    EXPECT_EQ(ran.front(), "a");
    EXPECT_EQ(ran.back(), "bottom");
    EXPECT_EQ(Result(bottom->Output("product")), 4 * 30);

    // A mark set again on one side: that side runs, and the bottom, which gets a new object.
    graph.GetTraversablePin(right->Input("x")).SetUpdatedData(true);
    EXPECT_EQ(Changed(), (Names{"right", "bottom"}));
    EXPECT_EQ(Result(bottom->Output("product")), 4 * 30);
}

// a (main subgraph) --> b (other subgraph)
TEST_F(TraverseChangedTest, ChangeReachingANodeOutsideTheSubgraphWaitsForARunOfItsOwn) {
    const GUID other = CreateGUID();
    const auto a = Add(MakeInputCell<int>("a"));
    const auto b = MakeFunctionNode("b", {"x"}, {"y"}, [](int x) { return x * 2; });
    graph.CreateNode(b, other);
    graph.LinkPins(a->Output("value"), b->Input("x"));
    PutValueOnPin(graph, a->Output("value"), 1);
    const auto changedIn = [this](const GUID& subgraph) {
        RunLog log(graph);
        graph.TraverseChanged(subgraph, log);
        return log.ran;
    };

    EXPECT_EQ(Changed(), Names{"a"});
    EXPECT_EQ(changedIn(other), Names{"b"});

    PutValueOnPin(graph, a->Output("value"), 5);
    EXPECT_EQ(Changed(), Names{"a"});
    EXPECT_EQ(Changed(), Names{});
    EXPECT_EQ(changedIn(other), Names{"b"});
    EXPECT_EQ(Result(b->Output("y")), 10);
    EXPECT_EQ(changedIn(other), Names{});
}

// a (other subgraph) --> b (main and other subgraphs)
TEST_F(TraverseChangedTest, NodeInTwoSubgraphsThatRanInOneIsUpToDateInTheOther) {
    const GUID other = CreateGUID();
    const auto a = MakeInputCell<int>("a");
    graph.CreateNode(a, other);
    const auto b = Add(MakeFunctionNode("b", {"x"}, {"y"}, [](int x) { return x * 2; }));
    graph.AssignNodeToExecutionSubgraphs(b->GetId(), other);
    graph.LinkPins(a->Output("value"), b->Input("x"));
    PutValueOnPin(graph, a->Output("value"), 1);
    const auto changedIn = [this](const GUID& subgraph) {
        RunLog log(graph);
        graph.TraverseChanged(subgraph, log);
        return log.ran;
    };
    EXPECT_EQ(changedIn(other), (Names{"a", "b"}));
    EXPECT_EQ(Changed(), Names{});

    // The main subgraph finds b's input unmarked and leaves it waiting; the other one marks it
    // again and runs b; after that b is up to date for both.
    graph.GetTraversablePin(b->Input("x")).SetUpdatedData(false);
    EXPECT_EQ(Changed(), Names{});
    EXPECT_EQ(changedIn(other), Names{"b"});
    EXPECT_EQ(Changed(), Names{});

    // Written by the host, b runs in the first run that looks at it, whichever subgraph that is.
    graph.GetTraversablePin(b->Input("x")).SetUpdatedData(true);
    EXPECT_EQ(changedIn(other), Names{"b"});
    EXPECT_EQ(Changed(), Names{});
    graph.GetTraversablePin(b->Input("x")).SetUpdatedData(true);
    EXPECT_EQ(Changed(), Names{"b"});
    EXPECT_EQ(changedIn(other), Names{});
}

// a --> sign (the object it returned last when the sign repeats) --> after
TEST_F(TraverseChangedTest, FunctionReturningTheObjectItsPinHoldsStopsTheChange) {
    std::shared_ptr<const Value<int>> held;
    const auto a = Add(MakeInputCell<int>("a"));
    const auto sign = Add(MakeFunctionNode("sign", {"x"}, {"s"}, [&held](int x) {
        const int s = x < 0 ? -1 : 1;
        if (held == nullptr || held->Get() != s) {
            held = MakeValue(s);
        }
        return held;
    }));
    const auto after = Add(MakeFunctionNode("after", {"s"}, {"y"}, [](int s) { return s * 7; }));
    graph.LinkPins(a->Output("value"), sign->Input("x"));
    graph.LinkPins(sign->Output("s"), after->Input("s"));
    PutValueOnPin(graph, a->Output("value"), 3);
    Changed();

    PutValueOnPin(graph, a->Output("value"), 5);
    EXPECT_EQ(Changed(), (Names{"a", "sign"}));

    PutValueOnPin(graph, a->Output("value"), -2);
    EXPECT_EQ(Changed(), (Names{"a", "sign", "after"}));
    EXPECT_EQ(Result(after->Output("y")), -7);
}

// a, sign (other subgraph) --> later (main subgraph)
TEST_F(TraverseChangedTest, HeldObjectStopsTheChangeAlsoForANodeOfAnotherSubgraph) {
    const GUID other = CreateGUID();
    std::shared_ptr<const Value<int>> held;
    const auto a = MakeInputCell<int>("a");
    const auto sign = MakeFunctionNode("sign", {"x"}, {"s"}, [&held](int x) {
        if (held == nullptr || held->Get() != (x < 0 ? -1 : 1)) {
            held = MakeValue(x < 0 ? -1 : 1);
        }
        return held;
    });
    graph.CreateNode(a, other);
    graph.CreateNode(sign, other);
    const auto later = Add(MakeFunctionNode("later", {"s"}, {}, [](int) {}));
    graph.LinkPins(a->Output("value"), sign->Input("x"));
    graph.LinkPins(sign->Output("s"), later->Input("s"));
    PutValueOnPin(graph, a->Output("value"), 3);
    RunLog first(graph);
    graph.TraverseChanged(other, first);
    EXPECT_EQ(first.ran, (Names{"a", "sign"}));
    EXPECT_EQ(Changed(), Names{"later"});

    PutValueOnPin(graph, a->Output("value"), 5);
    RunLog second(graph);
    graph.TraverseChanged(other, second);

    EXPECT_EQ(second.ran, (Names{"a", "sign"}));
    EXPECT_EQ(Changed(), Names{});
}

// Each call counts, also one that leaves the pin as it was.
TEST_F(TraverseChangedTest, EveryHostWriteOrMarkOfAPinRerunsItsNode) {
    const auto a = Add(MakeInputCell<int>("a"));
    const auto inc = Add(MakeFunctionNode("inc", {"x"}, {"y"}, [](int x) { return x + 1; }));
    graph.LinkPins(a->Output("value"), inc->Input("x"));
    PutValueOnPin(graph, a->Output("value"), 1);
    Changed();
    const GUID in = inc->Input("x");

    graph.PutDataOnPin(in, graph.GetDataFromPin(in));
    EXPECT_EQ(Changed(), Names{"inc"});
    graph.GetTraversablePin(in).SetData(graph.GetDataFromPin(in));
    EXPECT_EQ(Changed(), Names{"inc"});
    graph.GetTraversablePin(in).SetUpdatedData(true);
    EXPECT_EQ(Changed(), Names{"inc"});
    graph.GetTraversablePin(inc->Output("y")).SetUpdatedData(false);
    EXPECT_EQ(Changed(), Names{"inc"});
    EXPECT_TRUE(graph.GetTraversablePin(inc->Output("y")).HasUpdatedData());

    // A pin made or taken away makes its node run; a link made or removed does not, as long as
    // the inputs keep their objects.
    const GUID extra = CreateGUID();
    graph.CreateInputPin(inc->GetId(), extra, typeid(Value<int>));
    EXPECT_EQ(Changed(), Names{"inc"});
    graph.DestroyInputPin(inc->GetId(), extra);
    EXPECT_EQ(Changed(), Names{"inc"});
    const auto spare = Add(MakeFunctionNode("spare", {"x", "w"}, {}, [](int, int) {}));
    graph.LinkPins(inc->Output("y"), spare->Input("x"));
    graph.LinkPins(a->Output("value"), spare->Input("w"));
    EXPECT_EQ(Changed(), Names{"spare"});
    graph.UnlinkInputPin(spare->Input("w"));
    EXPECT_EQ(Changed(), Names{});
    graph.LinkPins(a->Output("value"), spare->Input("w"));
    EXPECT_EQ(Changed(), Names{});
}

// a --> inc, and the host writes over inc's input: a has not changed, yet hands its value again.
TEST_F(TraverseChangedTest, UpToDateNodeStillHandsItsValueToAnInputThatLostIt) {
    const auto a = Add(MakeInputCell<int>("a"));
    const auto inc = Add(MakeFunctionNode("inc", {"x"}, {"y"}, [](int x) { return x + 1; }));
    graph.LinkPins(a->Output("value"), inc->Input("x"));
    PutValueOnPin(graph, a->Output("value"), 1);
    Changed();

    PutValueOnPin(graph, inc->Input("x"), 40);
    EXPECT_EQ(Changed(), Names{"inc"});

    EXPECT_EQ(graph.GetDataFromPin(inc->Input("x")), graph.GetDataFromPin(a->Output("value")));
    EXPECT_EQ(Result(inc->Output("y")), 2);
}

// Outer: a --> adder --> after; inner: relay (x + offset, offset set by the host) --> tail
TEST_F(TraverseChangedTest, UbernodeRerunsWhenTheHostEditsAGraphNestedInIt) {
    auto inner = std::make_shared<Graph>(CreateGUID());
    const auto relay = MakeFunctionNode("relay", {"x", "offset"}, {"y"},
                                        [](int x, int offset) { return x + offset; });
    const auto tail = MakeFunctionNode("tail", {"y"}, {"z"}, [](int y) { return y; });
    inner->CreateNode(relay, GetNullGUID());
    inner->CreateNode(tail, GetNullGUID());
    inner->LinkPins(relay->Output("y"), tail->Input("y"));
    PutValueOnPin(*inner, relay->Input("offset"), 100);
    const Schema in{{relay->Input("x"), typeid(Value<int>)}};
    const Schema out{{tail->Output("z"), typeid(Value<int>)}};
    const auto adder =
        Add(std::make_shared<UbernodeNodeFunction>(inner, in, out, "adder", "", CreateGUID()));
    const auto a = Add(MakeInputCell<int>("a"));
    const auto after = Add(MakeFunctionNode("after", {"z"}, {"minus"}, [](int z) { return -z; }));
    graph.LinkPins(a->Output("value"), relay->Input("x"));
    graph.LinkPins(tail->Output("z"), after->Input("z"));
    PutValueOnPin(graph, a->Output("value"), 1);
    EXPECT_EQ(Changed(), (Names{"a", "adder", "after"}));
    EXPECT_EQ(Changed(), Names{});

    PutValueOnPin(*adder->GetGraph(), relay->Input("offset"), 200);
    EXPECT_EQ(Changed(), (Names{"adder", "after"}));
    EXPECT_EQ(Result(after->Output("minus")), -201);

    // Nested one level deeper, the edit still reaches the outer ubernode.
    graph.DestroyNode(adder->GetId());
    graph.DestroyNode(after->GetId());
    auto middle = std::make_shared<Graph>(CreateGUID());
    const auto wrapped = std::make_shared<UbernodeNodeFunction>(
        std::make_shared<Graph>(*adder->GetGraph()), in, out, "wrapped", "", CreateGUID());
    middle->CreateNode(wrapped, GetNullGUID());
    const auto passOn = MakeFunctionNode("pass", {"z"}, {"w"}, [](int z) { return z; });
    middle->CreateNode(passOn, GetNullGUID());
    middle->LinkPins(tail->Output("z"), passOn->Input("z"));
    const auto outer = Add(std::make_shared<UbernodeNodeFunction>(
        middle, in, Schema{{passOn->Output("w"), typeid(Value<int>)}}, "outer", "", CreateGUID()));
    const auto last = Add(MakeFunctionNode("last", {"w"}, {}, [](int) {}));
    graph.LinkPins(passOn->Output("w"), last->Input("w"));
    graph.LinkPins(a->Output("value"), relay->Input("x"));
    EXPECT_EQ(Changed(), (Names{"outer", "last"}));
    EXPECT_EQ(Changed(), Names{});

    PutValueOnPin(*wrapped->GetGraph(), relay->Input("offset"), 300);
    EXPECT_EQ(Changed(), (Names{"outer", "last"}));
    EXPECT_EQ(GetValueFromPin<int>(*outer->GetGraph(), passOn->Output("w")), 301);
}

// Outer: a --> holder --> after; holder's graph: relay (x + 1) --> tail, and idle, an ubernode
// linked to nothing that therefore never runs, whose own graph holds a cell.
TEST_F(TraverseChangedTest, UbernodeRerunsAfterAnEditInsideANestedUbernodeThatNeverRan) {
    auto deepest = std::make_shared<Graph>(CreateGUID());
    const auto cell = MakeInputCell<int>("cell");
    deepest->CreateNode(cell, GetNullGUID());
    const auto idle = std::make_shared<UbernodeNodeFunction>(deepest, Schema{}, Schema{}, "idle",
                                                             "", CreateGUID());
    auto middle = std::make_shared<Graph>(CreateGUID());
    const auto relay = MakeFunctionNode("relay", {"x"}, {"y"}, [](int x) { return x + 1; });
    const auto tail = MakeFunctionNode("tail", {"y"}, {"z"}, [](int y) { return y; });
    middle->CreateNode(relay, GetNullGUID());
    middle->CreateNode(tail, GetNullGUID());
    middle->CreateNode(idle, GetNullGUID());
    middle->LinkPins(relay->Output("y"), tail->Input("y"));
    Add(std::make_shared<UbernodeNodeFunction>(
        middle, Schema{{relay->Input("x"), typeid(Value<int>)}},
        Schema{{tail->Output("z"), typeid(Value<int>)}}, "holder", "", CreateGUID()));
    const auto a = Add(MakeInputCell<int>("a"));
    const auto after = Add(MakeFunctionNode("after", {"z"}, {}, [](int) {}));
    graph.LinkPins(a->Output("value"), relay->Input("x"));
    graph.LinkPins(tail->Output("z"), after->Input("z"));
    PutValueOnPin(graph, a->Output("value"), 1);
    Changed();

    PutValueOnPin(*idle->GetGraph(), cell->Output("value"), 5);

    EXPECT_EQ(Changed(), (Names{"holder", "after"}));
}

TEST_F(TraverseChangedTest, CopyOfAGraphRerunsEverythingAndLeavesTheOriginalUpToDate) {
    const auto a = Add(MakeInputCell<int>("a"));
    const auto inc = Add(MakeFunctionNode("inc", {"x"}, {"y"}, [](int x) { return x + 1; }));
    graph.LinkPins(a->Output("value"), inc->Input("x"));
    PutValueOnPin(graph, a->Output("value"), 1);
    Changed();

    Graph copy(graph);

    EXPECT_EQ(ChangedIn(copy).ran, (Names{"a", "inc"}));
    EXPECT_EQ(ChangedIn(copy).ran, Names{});
    EXPECT_EQ(Changed(), Names{});
    copy = graph;
    EXPECT_EQ(ChangedIn(copy).ran, (Names{"a", "inc"}));
}

// a --> odd-refusing --> after
TEST_F(TraverseChangedTest, NodeThatFailedRunsAgainAndIsLoggedEachTime) {
    const auto a = Add(MakeInputCell<int>("a"));
    const auto even = Add(MakeFunctionNode("even", {"x"}, {"y"}, [](int x) {
        GraphAssert(x % 2 == 0, "odd");
        return x / 2;
    }));
    const auto after = Add(MakeFunctionNode("after", {"y"}, {"z"}, [](int y) { return y; }));
    graph.LinkPins(a->Output("value"), even->Input("x"));
    graph.LinkPins(even->Output("y"), after->Input("y"));
    PutValueOnPin(graph, a->Output("value"), 3);
    LogCapture log;

    EXPECT_EQ(Changed(), Names{"a"});
    for (int run = 1; run <= 2; ++run) {
        const RunLog again = ChangedIn(graph);
        EXPECT_EQ(again.failed, Names{"even"});
        EXPECT_EQ(log.Entries().size(), static_cast<std::size_t>(run + 1));
    }

    PutValueOnPin(graph, a->Output("value"), 4);
    EXPECT_EQ(Changed(), (Names{"a", "even", "after"}));
    EXPECT_EQ(Result(after->Output("z")), 2);
    EXPECT_EQ(Changed(), Names{});
}

// a --> host (throws while armed) --> c, and a --> d; the order is a, host, d, c.
TEST_F(TraverseChangedTest, HostExceptionLeavesTheRunAndTheNextRunPicksUpTheRest) {
    bool armed = false;
    const auto a = Add(MakeInputCell<int>("a"));
    const auto host = Add(MakeFunctionNode("host", {"x"}, {"y"}, [&armed](int x) {
        if (armed) {
            throw HostError("host failure");
        }
        return x;
    }));
    const auto d = Add(MakeFunctionNode("d", {"x"}, {"y"}, [](int x) { return x * 3; }));
    const auto c = Add(MakeFunctionNode("c", {"y"}, {"z"}, [](int y) { return y * 2; }));
    graph.LinkPins(a->Output("value"), host->Input("x"));
    graph.LinkPins(a->Output("value"), d->Input("x"));
    graph.LinkPins(host->Output("y"), c->Input("y"));
    PutValueOnPin(graph, a->Output("value"), 1);
    Changed();

    armed = true;
    PutValueOnPin(graph, a->Output("value"), 5);
    RunLog log(graph);
    EXPECT_THROW(graph.TraverseChanged(graph.GetDefaultExecutionSubgraphID(), log), HostError);
    EXPECT_EQ(log.ran, Names{"a"});
    EXPECT_EQ(Result(c->Output("z")), 2);

    armed = false;
    EXPECT_EQ(Changed(), (Names{"host", "d", "c"}));
    EXPECT_EQ(Result(c->Output("z")), 10);
    EXPECT_EQ(Result(d->Output("y")), 15);
}

// clock (reads `now`, outside the graph) --> show
TEST_F(TraverseChangedTest, MarkChangedRerunsANodeThatReadsStateOutsideTheGraph) {
    int now = 1;
    const auto clock = Add(MakeFunctionNode("clock", {}, {"t"}, [&now]() { return now; }));
    const auto show = Add(MakeFunctionNode("show", {"t"}, {"text"}, [](int t) { return t; }));
    graph.LinkPins(clock->Output("t"), show->Input("t"));
    Changed();

    now = 2;
    EXPECT_EQ(Changed(), Names{});
    graph.MarkChanged(clock->GetId());
    EXPECT_EQ(Changed(), (Names{"clock", "show"}));
    EXPECT_EQ(Result(show->Output("text")), 2);
    EXPECT_EQ(Changed(), Names{});

    EXPECT_INVALID_KEY(graph.MarkChanged(CreateGUID()));
}

TEST_F(TraverseChangedTest, CallFromInsideARunningTraversalIsRefusedAsANestedTraverseIs) {
    std::string changedInside;
    std::string traverseInside;
    const auto a = Add(MakeInputCell<int>("a"));
    const auto nested = Add(MakeFunctionNode("nested", {"x"}, {}, [&](int) {
        try {
            graph.TraverseChanged();
        } catch (const GraphException& e) {
            changedInside = e.what();
        }
        try {
            graph.Traverse();
        } catch (const GraphException& e) {
            traverseInside = e.what();
        }
    }));
    graph.LinkPins(a->Output("value"), nested->Input("x"));
    PutValueOnPin(graph, a->Output("value"), 1);

    Changed();
    EXPECT_EQ(changedInside, kNestedTraverse);
    EXPECT_EQ(traverseInside, kNestedTraverse);

    changedInside.clear();
    graph.Traverse();
    EXPECT_EQ(changedInside, kNestedTraverse);
}

// a --> p --> q --> p
TEST_F(TraverseChangedTest, CycleIsRefusedAsTraverseRefusesItAndRunsNothing) {
    const auto a = Add(MakeInputCell<int>("a"));
    const auto p = Add(
        MakeFunctionNode("p", {"x", "back"}, {"y"}, [](int x, std::optional<int>) { return x; }));
    const auto q = Add(MakeFunctionNode("q", {"y"}, {"z"}, [](int y) { return y; }));
    graph.LinkPins(a->Output("value"), p->Input("x"));
    graph.LinkPins(p->Output("y"), q->Input("y"));
    graph.LinkPins(q->Output("z"), p->Input("back"));
    PutValueOnPin(graph, a->Output("value"), 1);
    std::string refusal;
    try {
        graph.Traverse();
    } catch (const GraphException& e) {
        refusal = e.what();
    }
    ASSERT_FALSE(refusal.empty());
    const GraphSnapshot before(graph);

    RunLog log(graph);
    EXPECT_GRAPH_EXCEPTION(graph.TraverseChanged(graph.GetDefaultExecutionSubgraphID(), log),
                           refusal);
    EXPECT_EQ(log.ran, Names{});
    EXPECT_EQ(GraphSnapshot(graph), before);

    graph.UnlinkInputPin(p->Input("back"));
    EXPECT_EQ(Changed(), (Names{"a", "p", "q"}));
}

} // namespace
} // namespace datagraph::test
