#include "GraphAssertions.h"
#include "LogCapture.h"
#include "TestValues.h"

#include <datagraph/FunctionNode.h>
#include <datagraph/Graph.h>
#include <datagraph/InputList.h>
#include <datagraph/UbernodeNodeFunction.h>
#include <datagraph/Value.h>

#include <boost/uuid/name_generator_sha1.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

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

std::vector<std::string> Names(const std::string& prefix, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(prefix + std::to_string(i));
    return names;
}

std::string Joined(const std::string& separator, InputList<std::string> parts) {
    std::string text;
    for (auto part = parts.begin(); part != parts.end(); ++part)
        text += (part == parts.begin() ? "" : separator) + *part;
    return text;
}

// Few list inputs are matched one by one, many through the node's table of pin ids: both paths.
class InputListTest : public FunctionNodeTest, public ::testing::WithParamInterface<int> {};

//  [cell p0] ... [cell pN-1] --> [join: separator, p0 ... pN-1]
TEST_P(InputListTest, ReadsEveryListInputInTheOrderOfItsNameAfterTheFixedOnes) {
    const int count = GetParam();
    std::vector<std::string> names = Names("p", count);
    names.insert(names.begin(), "separator");
    auto join = Add(MakeFunctionNode("join", names, {"text"}, Joined));
    EXPECT_TRUE(join->takesList);
    EXPECT_EQ(join->GetInputSchema().size(), static_cast<std::size_t>(count) + 1);
    EXPECT_TRUE(join->GetInputSchema().at(join->Input("p0")) == typeid(Value<std::string>));
    EXPECT_EQ(join->GetInputOrOutputName(join->Input("p" + std::to_string(count - 1))),
              "p" + std::to_string(count - 1));

    std::string expected;
    for (int i = 0; i < count; ++i) {
        auto cell = Add(MakeInputCell<std::string>("cell"));
        graph->LinkPins(cell->Output("value"), join->Input("p" + std::to_string(i)));
        PutValueOnPin(*graph, cell->Output("value"), std::to_string(i));
        expected += (i == 0 ? "" : ",") + std::to_string(i);
    }
    PutValueOnPin(*graph, join->Input("separator"), std::string(","));
    graph->Traverse();
    EXPECT_EQ(GetValueFromPin<std::string>(*graph, join->Output("text")), expected);

    // A clone keeps its own table of ids, and entries for pins of other nodes are ignored.
    DataMap inputs{{join->Input("separator"), MakeValue(std::string("-"))},
                   {CreateGUID(), MakeValue(7)}};
    for (int i = 0; i < count; ++i)
        inputs.emplace(join->Input("p" + std::to_string(i)), MakeValue(std::string("x")));
    const DataMap outputs = join->Clone()->Execute(inputs);
    EXPECT_EQ(ValueOf<std::string>(outputs.at(join->Output("text"))).size(),
              static_cast<std::size_t>(2 * count - 1));
}

TEST_P(InputListTest, AMissingOrOtherTypedListInputNamesTheFirstSuchInput) {
    const int count = GetParam();
    auto sum = MakeFunctionNode("sum", Names("t", count), {"sum"}, [](InputList<int> terms) {
        return std::accumulate(terms.begin(), terms.end(), 0);
    });
    DataMap inputs;
    for (int i = 0; i < count; ++i)
        inputs.emplace(sum->Input("t" + std::to_string(i)), MakeValue(i));
    EXPECT_EQ(ValueOf<int>(sum->Execute(inputs).at(sum->Output("sum"))), count * (count - 1) / 2);

    const std::string last = "t" + std::to_string(count - 1);
    inputs[sum->Input(last)] = MakeValue(1.5);
    EXPECT_GRAPH_EXCEPTION(sum->Execute(inputs), "The node \"sum\" has a value of another type "
                                                 "on its input \"" +
                                                     last + "\".");
    inputs.erase(sum->Input("t1"));
    EXPECT_GRAPH_EXCEPTION(sum->Execute(inputs),
                           "The node \"sum\" has no value on its input \"t1\".");
    inputs[sum->Input("t1")] = nullptr; // an empty entry counts as no value
    EXPECT_GRAPH_EXCEPTION(sum->Execute(inputs),
                           "The node \"sum\" has no value on its input \"t1\".");
}

INSTANTIATE_TEST_SUITE_P(FewAndMany, InputListTest, ::testing::Values(3, 40));

TEST_F(FunctionNodeTest, AnInputListMayBeEmptyAndTheFixedNamesMustBeThere) {
    auto count = MakeFunctionNode(
        "count", std::vector<std::string>{"first"}, {"n"},
        [](int first, InputList<int> rest) { return first + static_cast<int>(rest.size()); });
    EXPECT_EQ(ValueOf<int>(
                  count->Execute({{count->Input("first"), MakeValue(5)}}).at(count->Output("n"))),
              5);
    const auto nothing = [](int, InputList<int>) {};
    EXPECT_GRAPH_EXCEPTION(MakeFunctionNode("none", {}, {}, nothing),
                           "The node \"none\" names 0 inputs but its function takes at least 1.");
    std::vector<std::string> names = Names("x", 30);
    names.push_back("x12");
    EXPECT_GRAPH_EXCEPTION(MakeFunctionNode("twice", names, {}, nothing),
                           "The node \"twice\" uses the pin name \"x12\" more than once.");
    EXPECT_GRAPH_EXCEPTION(MakeFunctionNode("out", std::vector<std::string>{"a", "b"}, {"a"},
                                            [](int, InputList<int>) { return 0; }),
                           "The node \"out\" uses the pin name \"a\" more than once.");
}

// A host value class that has subclasses is read as it was before the fast type check: a value
// of a subclass on the pin still reads as the class, on a fixed input and in a list.
TEST_F(FunctionNodeTest, HostValueSubclassesAreReadAsTheirBaseClass) {
    auto add = MakeFunctionNode("add", std::vector<std::string>{"a", "b", "c"}, {"sum"},
                                [](const IntValue& a, InputList<IntValue> rest) {
                                    int sum = a.Get();
                                    for (const IntValue& term : rest)
                                        sum += term.Get();
                                    return std::make_shared<const IntValue>(sum);
                                });
    EXPECT_TRUE(add->GetInputSchema().at(add->Input("c")) == typeid(IntValue));
    const DataMap outputs = add->Execute({{add->Input("a"), std::make_shared<DerivedIntValue>(1)},
                                          {add->Input("b"), Int(2)},
                                          {add->Input("c"), std::make_shared<DerivedIntValue>(4)}});
    EXPECT_EQ(static_cast<const IntValue&>(*outputs.at(add->Output("sum"))).Get(), 7);
    EXPECT_GRAPH_EXCEPTION(add->Execute({{add->Input("a"), Int(1)},
                                         {add->Input("b"), MakeValue(2)},
                                         {add->Input("c"), Int(4)}}),
                           "The node \"add\" has a value of another type on its input \"b\".");
}

TEST(SkipReasonTest, EveryReasonHasAText) {
    EXPECT_STREQ(ToString(SkipReason::OutsideExecutionSubgraph), "outside the execution subgraph");
    EXPECT_STREQ(ToString(SkipReason::Unconnected), "not linked to any node");
    EXPECT_STREQ(ToString(SkipReason::InputsNotReady), "inputs not ready");
}

} // namespace
