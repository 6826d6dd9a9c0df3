#include "GraphAssertions.h"
#include "LogCapture.h"
#include "TestValues.h"

#include <datagraph/FunctionNode.h>
#include <datagraph/Graph.h>
#include <datagraph/UbernodeNodeFunction.h>
#include <datagraph/Value.h>

#include <boost/uuid/name_generator_sha1.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>

using namespace datagraph;
using namespace datagraph::test;

namespace {

class FunctionNodeTest : public ::testing::Test {
protected:
    std::shared_ptr<Graph> graph = std::make_shared<Graph>(CreateGUID());

    template <typename F> F Add(F function) {
        graph->CreateNode(function, GetNullGUID());
        return function;
    }
};

TEST(ValueTest, HoldsClonesAndReportsItsOwnType) {
    const auto value = MakeValue(std::string("text"));
    EXPECT_EQ(value->Get(), "text");
    EXPECT_TRUE(value->GetType() == typeid(Value<std::string>));

    const std::unique_ptr<IDataValue> copy = value->Clone();
    EXPECT_TRUE(copy->GetType() == typeid(Value<std::string>));
    EXPECT_EQ(static_cast<const Value<std::string>&>(*copy).Get(), "text");
    EXPECT_NE(copy.get(), value.get());
}

TEST(ValueTest, ValueOfNamesTheExpectedAndTheActualType) {
    EXPECT_EQ(ValueOf<int>(MakeValue(7)), 7);
    EXPECT_GRAPH_EXCEPTION(ValueOf<int>(nullptr),
                           "Expected a value of type datagraph::Value<int> but found no value.");
    EXPECT_GRAPH_EXCEPTION(ValueOf<int>(MakeValue(7.5)),
                           "Expected a value of type datagraph::Value<int> but found one of type "
                           "datagraph::Value<double>.");
}

//  [cell] --value--> a [add] sum
//         --value--> b
TEST_F(FunctionNodeTest, PlainTypesRunInATraversalAndPinIdsFollowFromTheNodeId) {
    const GUID id = CreateGUID();
    auto cell = Add(MakeInputCell<int>("cell"));
    auto add = Add(MakeFunctionNode(
        "add", {"a", "b"}, {"sum"}, [](int a, const int& b) { return a + b; }, id, "adds"));
    graph->LinkPins(cell->Output("value"), add->Input("a"));
    graph->LinkPins(cell->Output("value"), add->Input("b"));

    PutValueOnPin(*graph, cell->Output("value"), 20);
    graph->Traverse();
    EXPECT_EQ(GetValueFromPin<int>(*graph, add->Output("sum")), 40);
    EXPECT_EQ(GetValueFromPin<int>(*graph, cell->Output("value")), 20);

    PutValueOnPin(*graph, cell->Output("value"), 1);
    graph->Traverse();
    EXPECT_EQ(GetValueFromPin<int>(*graph, add->Output("sum")), 2);

    boost::uuids::name_generator_sha1 pinIdOf(id);
    EXPECT_EQ(add->Input("b"), pinIdOf("b"));
    EXPECT_EQ(add->Output("sum"), pinIdOf("sum"));
    EXPECT_EQ(add->GetId(), id);
    EXPECT_EQ(add->GetName(), "add");
    EXPECT_EQ(add->GetDescription(), "adds");
    EXPECT_EQ(add->GetInputOrOutputName(pinIdOf("sum")), "sum");
    EXPECT_EQ(add->GetInputOrOutputDescription(pinIdOf("sum")), "");
    EXPECT_TRUE(add->GetInputSchema().at(pinIdOf("a")) == typeid(Value<int>));
    EXPECT_TRUE(add->GetOutputSchema().at(pinIdOf("sum")) == typeid(Value<int>));
}

TEST_F(FunctionNodeTest, PinLookupsKeepInputsAndOutputsApart) {
    auto add = MakeFunctionNode("add", {"a"}, {"sum"}, [](int a) { return a; });
    EXPECT_GRAPH_EXCEPTION(add->Output("a"), "The node \"add\" has no output named \"a\".");
    EXPECT_GRAPH_EXCEPTION(add->Input("sum"), "The node \"add\" has no input named \"sum\".");
}

TEST_F(FunctionNodeTest, ANameUsedTwiceOnANodeIsRefused) {
    const auto same = [](int a, int) { return a; };
    EXPECT_GRAPH_EXCEPTION(MakeFunctionNode("n", {"a", "a"}, {"b"}, same),
                           "The node \"n\" uses the pin name \"a\" more than once.");
    EXPECT_GRAPH_EXCEPTION(MakeFunctionNode("n", {"a", "b"}, {"b"}, same),
                           "The node \"n\" uses the pin name \"b\" more than once.");
}

TEST_F(FunctionNodeTest, HostValueClassesAreReadAndWrittenAsThemselves) {
    auto twice = MakeFunctionNode("twice", {"in"}, {"out"}, [](const IntValue& in) {
        return std::make_shared<const IntValue>(2 * in.Get());
    });
    EXPECT_TRUE(twice->GetInputSchema().at(twice->Input("in")) == typeid(IntValue));
    EXPECT_TRUE(twice->GetOutputSchema().at(twice->Output("out")) == typeid(IntValue));

    const DataMap outputs = twice->Execute({{twice->Input("in"), Int(4)}});
    EXPECT_EQ(static_cast<const IntValue&>(*outputs.at(twice->Output("out"))).Get(), 8);
}

TEST_F(FunctionNodeTest, ANullHostValueResultNamesTheNodeAndTheOutput) {
    auto none =
        MakeFunctionNode("none", {}, {"out"}, [] { return std::shared_ptr<const IntValue>(); });
    EXPECT_GRAPH_EXCEPTION(none->Execute({}),
                           "The node \"none\" gave no value for its output \"out\".");
}

TEST_F(FunctionNodeTest, OptionalInputsMayBeEmptyAndRequiredOnesNameTheInput) {
    auto pick = MakeFunctionNode(
        "pick", {"maybe", "must"}, {"out"},
        [](std::optional<int> maybe, int must) { return maybe.value_or(-1) + must; });
    const DataMap both =
        pick->Execute({{pick->Input("maybe"), MakeValue(1)}, {pick->Input("must"), MakeValue(10)}});
    EXPECT_EQ(ValueOf<int>(both.at(pick->Output("out"))), 11);
    const DataMap one = pick->Execute({{pick->Input("must"), MakeValue(10)}});
    EXPECT_EQ(ValueOf<int>(one.at(pick->Output("out"))), 9);

    EXPECT_GRAPH_EXCEPTION(pick->Execute({}),
                           "The node \"pick\" has no value on its input \"must\".");
    EXPECT_GRAPH_EXCEPTION(pick->Execute({{pick->Input("must"), MakeValue(1.5)}}),
                           "The node \"pick\" has a value of another type on its input \"must\".");
    EXPECT_GRAPH_EXCEPTION(pick->Execute({{pick->Input("maybe"), MakeValue(1.5)},
                                          {pick->Input("must"), MakeValue(1)}}),
                           "The node \"pick\" has a value of another type on its input \"maybe\".");
}

TEST_F(FunctionNodeTest, TupleResultsWriteEachOutputAndAnEmptyOptionalWritesNone) {
    auto split = MakeFunctionNode("split", {"in"}, {"half", "odd", "tag"}, [](int in) {
        return std::make_tuple(in / 2, in % 2 ? std::optional<bool>(true) : std::nullopt,
                               std::make_shared<const TextValue>("t"));
    });
    const DataMap odd = split->Execute({{split->Input("in"), MakeValue(5)}});
    EXPECT_EQ(ValueOf<int>(odd.at(split->Output("half"))), 2);
    EXPECT_TRUE(ValueOf<bool>(odd.at(split->Output("odd"))));
    EXPECT_EQ(odd.size(), 3u);

    const DataMap even = split->Execute({{split->Input("in"), MakeValue(4)}});
    EXPECT_EQ(even.count(split->Output("odd")), 0u);
    EXPECT_EQ(even.size(), 2u);
}

TEST_F(FunctionNodeTest, AMissingInputFailsTheNodeInATraversalAndTheObserverSeesTheText) {
    struct Failures : ITraversalObserver {
        std::string message;

        void NodeFailed(const GUID&, const std::string& text) override { message = text; }
    } observer;

    auto cell = Add(MakeInputCell<int>("cell"));
    auto add =
        Add(MakeFunctionNode("add", {"a", "b"}, {"sum"}, [](int a, int b) { return a + b; }));
    graph->LinkPins(cell->Output("value"), add->Input("a"));
    PutValueOnPin(*graph, cell->Output("value"), 1);

    LogCapture log;
    graph->Traverse(observer);
    EXPECT_EQ(observer.message, "The node \"add\" has no value on its input \"b\".");
    EXPECT_EQ(log.Entries().size(), 1u);
}

TEST_F(FunctionNodeTest, AValueOfAnotherTypeIsRefusedByThePin) {
    auto cell = Add(MakeInputCell<int>("cell"));
    EXPECT_THROW(PutValueOnPin(*graph, cell->Output("value"), 1.5), GraphException);
    EXPECT_EQ(graph->GetDataFromPin(cell->Output("value")), nullptr);
}

TEST_F(FunctionNodeTest, ExceptionsOfTheCallablePassThroughUnchanged) {
    auto throws = MakeFunctionNode("throws", {}, {}, [] { throw std::runtime_error("own"); });
    EXPECT_THROW(
        try { throws->Execute({}); } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "own");
            throw;
        },
        std::runtime_error);
    auto refuses = MakeFunctionNode("refuses", {}, {}, [] { throw GraphException("mine"); });
    EXPECT_GRAPH_EXCEPTION(refuses->Execute({}), "mine");
}

TEST_F(FunctionNodeTest, CloneAndGraphCopyKeepIdsAndCallablesState) {
    int calls = 0;
    auto count = Add(MakeFunctionNode("count", {}, {"n"}, [&calls] { return ++calls; }));
    const std::shared_ptr<INodeFunction> clone = count->Clone();
    EXPECT_EQ(clone->GetId(), count->GetId());
    EXPECT_EQ(clone->GetOutputSchema().count(count->Output("n")), 1u);
    EXPECT_EQ(clone->GetInputOrOutputName(count->Output("n")), "n");

    auto sink = Add(MakeFunctionNode("sink", {"n"}, {}, [](int) {}));
    graph->LinkPins(count->Output("n"), sink->Input("n"));
    Graph copy(*graph);
    copy.Traverse();
    EXPECT_EQ(ValueOf<int>(copy.GetDataFromPin(count->Output("n"))), 1);
    EXPECT_EQ(graph->GetDataFromPin(count->Output("n")), nullptr);
}

//  outer: [cell] --> [ubernode: in --> [inc] --> out]
TEST_F(FunctionNodeTest, WorksInsideAnUbernodesInnerGraph) {
    auto inner = std::make_shared<Graph>(CreateGUID());
    auto in = MakeInputCell<int>("in");
    auto inc = MakeFunctionNode("inc", {"x"}, {"y"}, [](int x) { return x + 1; });
    inner->CreateNode(in, GetNullGUID());
    inner->CreateNode(inc, GetNullGUID());
    inner->LinkPins(in->Output("value"), inc->Input("x"));
    auto uber = std::make_shared<UbernodeNodeFunction>(
        inner, Schema{{in->Output("value"), typeid(Value<int>)}},
        Schema{{inc->Output("y"), typeid(Value<int>)}}, "uber", "", CreateGUID());

    auto cell = Add(MakeInputCell<int>("cell"));
    graph->CreateNode(uber, GetNullGUID());
    graph->LinkPins(cell->Output("value"), in->Output("value"));
    PutValueOnPin(*graph, cell->Output("value"), 41);
    graph->Traverse();
    EXPECT_EQ(GetValueFromPin<int>(*graph, inc->Output("y")), 42);
}

TEST(SkipReasonTest, EveryReasonHasAText) {
    EXPECT_STREQ(ToString(SkipReason::OutsideExecutionSubgraph), "outside the execution subgraph");
    EXPECT_STREQ(ToString(SkipReason::Unconnected), "not linked to any node");
    EXPECT_STREQ(ToString(SkipReason::InputsNotReady), "inputs not ready");
}

} // namespace
