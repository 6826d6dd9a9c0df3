#include "FaultPlan.h"
#include "GraphInvariants.h"
#include "ModelValues.h"
#include "ScriptedFunction.h"
#include "TestSupport.h"

#include <datagraph/Graph.h>
#include <datagraph/UbernodeNodeFunction.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// Host objects that throw at the n-th of their calls (Clone, GetType, Execute, GetId and the
// schemas), for every n over a scenario. Whatever call fails, the graph must be left in the state
// documented for that failure, and every host object made on the way must be released again
// (counted here; the sanitizer run checks the rest of the memory).

namespace datagraph::reliability {
namespace {

using test::GraphSnapshot;

GUID Id(unsigned number) {
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-0000-0000-%012x", number);
    return GUIDFromString(text);
}

const GUID kDefault = Id(100);
const GUID kOther = Id(101);

long faultsInjected = 0;

/// What a host can observe of a graph, by content rather than by object, so that two graphs
/// built alike give the same text. Ubernodes show their inner graphs.
std::string Digest(const Graph& graph) {
    std::ostringstream out;
    const auto ids = graph.GetNodesInArbitraryOrder();
    for (const GUID& id : std::set<GUID>(ids.begin(), ids.end())) {
        const Node& node = graph.GetConstNode(id);
        out << "node " << GUIDToString(id) << (node.GetDirty() ? " dirty" : "")
            << (node.GetDisabled() ? " disabled" : "") << '\n';
        if (const auto* uber = dynamic_cast<const UbernodeNodeFunction*>(&node.GetNodeFunction())) {
            out << "{\n" << Digest(*uber->GetGraph()) << "}\n";
        }
    }
    std::set<GUID> pins;
    for (const Pin* pin : graph.GetAllPins()) {
        pins.insert(pin->GetId());
    }
    for (const GUID& id : pins) {
        const Pin& pin = graph.GetConstPin(id);
        const ModelValue* value = AsModelValue(pin.GetData().get());
        out << "pin " << GUIDToString(id) << " = "
            << (value ? std::to_string(static_cast<int>(value->Kind())) + ":" +
                            std::to_string(value->Content())
                      : "-")
            << (pin.HasUpdatedData() ? " marked" : "") << '\n';
    }
    for (const auto& [from, to] : graph.GetPinToPinEdges()) {
        out << "link " << GUIDToString(from) << " " << GUIDToString(to) << '\n';
    }
    for (const auto& [node, subgraph] : graph.GetNodeToExecutionSubgraphMap()) {
        out << "in " << GUIDToString(node) << " " << GUIDToString(subgraph) << '\n';
    }
    return out.str();
}

long LiveHostObjects() {
    return ModelValue::LiveCount() + ScriptedFunction::LiveCount();
}

/// Builds the graphs of a scenario from scripted functions. Every function returns the same
/// value objects on every run, so two scenarios built alike behave alike.
class Scenario {
public:
    Scenario()
        : context(std::make_shared<ExecutionContext>())
        , graph(std::make_shared<Graph>(kDefault)) {}

    std::shared_ptr<INodeFunction> Function(unsigned id, std::vector<unsigned> inputs,
                                            std::vector<unsigned> outputs,
                                            std::vector<OutputRule> rules) const {
        auto script = std::make_shared<FunctionScript>();
        script->id = Id(id);
        script->name = "node " + std::to_string(id);
        for (unsigned pin : inputs) {
            script->inputs.emplace_back(Id(pin), pin % 2 == 0 ? ValueKind::A : ValueKind::B);
        }
        for (unsigned pin : outputs) {
            script->outputs.emplace_back(Id(pin), pin % 2 == 0 ? ValueKind::A : ValueKind::B);
        }
        script->rules = std::move(rules);
        return std::make_shared<ScriptedFunction>(script, context);
    }

    static OutputRule Fixed(unsigned pin, int content) {
        return {Id(pin), MakeValue(pin % 2 == 0 ? ValueKind::A : ValueKind::B, content), false,
                GUID{}};
    }

    static OutputRule FromInput(unsigned pin, unsigned input) {
        return {Id(pin), nullptr, true, Id(input)};
    }

    // Pins with even numbers carry A values, odd ones B values:
    //
    //   source 10 [20]-->[22] middle 11 [24]----->[26] sink 12 (also in the other subgraph)
    //                                   [25]----->[27]
    //                                   [24]----->[44] uber 13 [48]
    //                                                  inner: 30 [42]-->[46] 31, reading [44]
    //                                                         and writing [48]
    void Build() {
        Graph& g = *graph;
        g.CreateNode(Function(10, {}, {20}, {Fixed(20, 1)}), GetNullGUID());
        g.CreateNode(Function(11, {22}, {24, 25}, {FromInput(24, 22), Fixed(25, 2)}),
                     GetNullGUID());
        g.CreateNode(Function(12, {26, 27}, {28}, {FromInput(28, 26)}), kOther);
        g.AssignNodeToExecutionSubgraphs(Id(12), kDefault);

        auto inner = std::make_shared<Graph>(Id(102));
        inner->CreateNode(Function(30, {}, {42}, {Fixed(42, 7)}), GetNullGUID());
        inner->CreateNode(Function(31, {44, 46}, {48}, {FromInput(48, 44)}), GetNullGUID());
        inner->LinkPins(Id(42), Id(46));
        Schema in, out;
        in.emplace(Id(44), TypeOf(ValueKind::A));
        out.emplace(Id(48), TypeOf(ValueKind::A));
        g.CreateNode(
            std::make_shared<UbernodeNodeFunction>(inner, in, out, "uber", "inner chain", Id(13)),
            GetNullGUID());

        g.LinkPins(Id(20), Id(22));
        g.LinkPins(Id(24), Id(26));
        g.LinkPins(Id(25), Id(27));
        g.LinkPins(Id(24), Id(44));
        g.PutDataOnPin(Id(26), MakeValue(ValueKind::A, 9));
        g.SetDirty(Id(11), true);
    }

    /// Builds, runs, copies and assigns: every kind of call a host object can fail in.
    void BuildAndRun() {
        Build();
        Graph& g = *graph;
        g.Traverse();
        g.GetTraversablePin(Id(22)).SetUpdatedData(false);
        g.Traverse(kOther);
        g.GetTraversableNode(Id(11)).Execute();
        Graph copy(g);
        copy.Traverse();
        copy.PutDataOnPin(Id(20), MakeValue(ValueKind::A, 3));
        g = copy;
        g.Traverse();
    }

    std::shared_ptr<ExecutionContext> context;
    std::shared_ptr<Graph> graph;
};

/// Runs `script` once to learn how many counted calls it makes and what the graph looks like
/// before each, then once per call with that call failing: the graph must look exactly as it
/// did before the failing call, since nothing after a host exception may change it.
void RunWithEveryCallFailing(const std::function<void(Scenario&)>& script) {
    const long liveBefore = LiveHostObjects();
    std::vector<std::string> before{""};
    long calls = 0;
    {
        Scenario reference;
        FaultPlan::Disarm();
        FaultPlan::Observe([&](long) {
            // Host code may look at the graph whenever it is called: the store holds together.
            EXPECT_EQ(FindStoreViolation(*reference.graph), "");
            before.push_back(Digest(*reference.graph));
        });
        script(reference);
        calls = FaultPlan::Calls();
        FaultPlan::Disarm();
    }
    ASSERT_GT(calls, 0);
    for (long n = 1; n <= calls; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n) + " of " + std::to_string(calls));
        {
            Scenario scenario;
            FaultPlan::FailAt(n);
            EXPECT_THROW(script(scenario), InjectedFault);
            EXPECT_TRUE(FaultPlan::Fired());
            FaultPlan::Disarm();
            ++faultsInjected;
            EXPECT_EQ(Digest(*scenario.graph), before[static_cast<std::size_t>(n)]);
            EXPECT_EQ(FindInvariantViolation(*scenario.graph), "");
            // The traversal flag was put back: the graph runs again.
            EXPECT_NO_THROW(scenario.graph->Traverse());
        }
        EXPECT_EQ(LiveHostObjects(), liveBefore) << "host objects leaked";
    }
}

TEST(FaultInjectionTest, AFailingHostCallLeavesTheGraphAsItWasBeforeThatCall) {
    RunWithEveryCallFailing([](Scenario& scenario) { scenario.BuildAndRun(); });
}

TEST(FaultInjectionTest, FailedCopyConstructionDiscardsThePartialCopyAndLeavesTheSource) {
    for (bool asGraphException : {false, true}) {
        Scenario scenario;
        scenario.Build();
        scenario.graph->Traverse();
        const GraphSnapshot before(*scenario.graph);
        const std::string digest = Digest(*scenario.graph);
        const long liveBefore = LiveHostObjects();
        for (long n = 1;; ++n) {
            SCOPED_TRACE("failing call " + std::to_string(n));
            FaultPlan::FailAt(n, asGraphException);
            try {
                Graph copy(*scenario.graph);
                FaultPlan::Disarm();
                EXPECT_EQ(Digest(copy), digest);
                break;
            } catch (const InjectedFault&) {
                EXPECT_FALSE(asGraphException);
            } catch (const GraphException& e) {
                EXPECT_TRUE(asGraphException);
                EXPECT_EQ(std::string(e.what()), "injected fault");
            }
            FaultPlan::Disarm();
            ++faultsInjected;
            EXPECT_EQ(GraphSnapshot(*scenario.graph), before);
            EXPECT_EQ(LiveHostObjects(), liveBefore) << "the partial copy was not released";
        }
        EXPECT_EQ(GraphSnapshot(*scenario.graph), before);
    }
}

TEST(FaultInjectionTest, FailedAssignmentLeavesTheTargetAndTheSourceUnchanged) {
    for (bool asGraphException : {false, true}) {
        Scenario source;
        source.Build();
        source.graph->Traverse();
        const GraphSnapshot sourceBefore(*source.graph);
        const std::string sourceDigest = Digest(*source.graph);
        Scenario target;
        Graph& g = *target.graph;
        g.CreateNode(target.Function(60, {62}, {64}, {Scenario::FromInput(64, 62)}), GetNullGUID());
        g.PutDataOnPin(Id(62), MakeValue(ValueKind::A, 5));
        const GraphSnapshot targetBefore(g);
        for (long n = 1;; ++n) {
            SCOPED_TRACE("failing call " + std::to_string(n));
            const long liveBefore = LiveHostObjects();
            FaultPlan::FailAt(n, asGraphException);
            const bool failed = [&] {
                try {
                    g = *source.graph;
                    return false;
                } catch (const InjectedFault&) {
                    return !asGraphException;
                } catch (const GraphException&) {
                    return asGraphException;
                }
            }();
            const bool fired = FaultPlan::Fired();
            FaultPlan::Disarm();
            EXPECT_EQ(GraphSnapshot(*source.graph), sourceBefore);
            if (!fired) {
                EXPECT_EQ(Digest(g), sourceDigest);
                break;
            }
            ++faultsInjected;
            EXPECT_TRUE(failed);
            EXPECT_EQ(GraphSnapshot(g), targetBefore);
            EXPECT_EQ(LiveHostObjects(), liveBefore) << "the partial copy was not released";
        }
    }
}

// A GraphException from a host object inside a traversal is absorbed like any node failure:
// one log line, the run goes on, and the graph stays consistent.
TEST(FaultInjectionTest, AGraphExceptionFromAHostCallDuringATraversalIsAbsorbed) {
    long calls = 0;
    {
        Scenario reference;
        reference.Build();
        FaultPlan::Disarm();
        reference.graph->Traverse();
        calls = FaultPlan::Calls();
    }
    for (long n = 1; n <= calls; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        Scenario scenario;
        scenario.Build();
        test::LogCapture log;
        FaultPlan::FailAt(n, true);
        EXPECT_NO_THROW(scenario.graph->Traverse());
        EXPECT_TRUE(FaultPlan::Fired());
        FaultPlan::Disarm();
        ++faultsInjected;
        // An inner graph absorbs its own node's failure; the outer run does not see it.
        EXPECT_EQ(log.Entries().size(), 1u);
        EXPECT_EQ(FindInvariantViolation(*scenario.graph), "");
        EXPECT_NO_THROW(scenario.graph->Traverse());
    }
}

class FaultTotals : public ::testing::Environment {
public:
    void TearDown() override {
        std::cout << "fault injection: " << faultsInjected << " faults injected" << std::endl;
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new FaultTotals);

} // namespace
} // namespace datagraph::reliability
