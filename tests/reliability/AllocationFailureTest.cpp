// Makes the n-th allocation fail, for every n, inside each operation of a scripted sequence that
// covers every editing operation, copying, assignment, traversal, Clear and destruction. After
// each failed call the graph must be consistent and, except for a traversal (which keeps what
// the nodes before the failure wrote), exactly as it was.

#include <datagraph/Graph.h>
#include <datagraph/NodeExecutingGraphTraverser.h>
#include <datagraph/UbernodeNodeFunction.h>

#include "GraphSnapshot.h"
#include "InjectedAllocation.h"
#include "StubFunction.h"
#include "TestValues.h"
#include "store/GraphStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace datagraph::test {
namespace {

// The graph every operation starts from:
//   source --> doubler --> sink        (default subgraph, and the doubler also in `other`)
//   ubernode(inner: pass)  --> sink's second input
struct Scene {
    Graph graph{CreateGUID()};
    GUID other = CreateGUID();
    std::shared_ptr<StubFunction> source = std::make_shared<StubFunction>();
    std::shared_ptr<StubFunction> doubler = std::make_shared<StubFunction>();
    std::shared_ptr<StubFunction> sink = std::make_shared<StubFunction>();
    GUID sourceOut = source->AddOutput(typeid(IntValue));
    GUID doublerIn = doubler->AddInput(typeid(IntValue));
    GUID doublerOut = doubler->AddOutput(typeid(IntValue));
    GUID sinkIn = sink->AddInput(typeid(IntValue));
    GUID sinkSecondIn = sink->AddInput(typeid(IntValue));
    GUID sinkFreeIn = sink->AddInput(typeid(IntValue));
    GUID innerOut;
    GUID ubernodeId;

    Scene() {
        source->SetOutputs({{sourceOut, std::make_shared<IntValue>(2)}});
        doubler->SetBody([this](const DataMap& in) {
            const int value = static_cast<const IntValue&>(*in.at(doublerIn)).Get();
            return DataMap{{doublerOut, std::make_shared<IntValue>(2 * value)}};
        });
        graph.CreateNode(source, GetNullGUID());
        graph.CreateNode(doubler, GetNullGUID());
        graph.CreateNode(sink, GetNullGUID());
        graph.AssignNodeToExecutionSubgraphs(doubler->GetId(), other);
        graph.LinkPins(sourceOut, doublerIn);
        graph.LinkPins(doublerOut, sinkIn);
        auto inner = std::make_shared<Graph>(CreateGUID());
        auto pass = std::make_shared<StubFunction>();
        innerOut = pass->AddOutput(typeid(IntValue));
        pass->SetOutputs({{innerOut, std::make_shared<IntValue>(9)}});
        inner->CreateNode(pass, GetNullGUID());
        auto ubernode = std::make_shared<UbernodeNodeFunction>(
            inner, Schema{}, Schema{{innerOut, typeid(IntValue)}}, "u", "", CreateGUID());
        ubernodeId = ubernode->GetId();
        graph.CreateNode(ubernode, GetNullGUID());
        graph.LinkPins(innerOut, sinkSecondIn);
        graph.PutDataOnPin(doublerIn, std::make_shared<IntValue>(1));
    }
};

struct Operation {
    std::string name;
    bool keepsPartialResults; // a traversal stops part-way and keeps what ran
    std::function<void(Scene&)> run;
};

std::vector<Operation> Operations() {
    auto newFunction = [] {
        auto function = std::make_shared<StubFunction>();
        function->AddInput(typeid(IntValue));
        function->AddOutput(typeid(IntValue));
        function->AddOutput(typeid(DoubleValue));
        return function;
    };
    return {
        {"CreateNode", false, [=](Scene& s) { s.graph.CreateNode(newFunction(), GetNullGUID()); }},
        {"CreateNode in a new subgraph", false,
         [=](Scene& s) { s.graph.CreateNode(newFunction(), CreateGUID()); }},
        {"CreateInputPin", false,
         [](Scene& s) { s.graph.CreateInputPin(s.sink->GetId(), CreateGUID(), typeid(IntValue)); }},
        {"CreateOutputPin", false,
         [](Scene& s) {
             s.graph.CreateOutputPin(s.source->GetId(), CreateGUID(), typeid(IntValue));
         }},
        {"DestroyInputPin", false,
         [](Scene& s) { s.graph.DestroyInputPin(s.doubler->GetId(), s.doublerIn); }},
        {"DestroyOutputPin", false,
         [](Scene& s) { s.graph.DestroyOutputPin(s.doubler->GetId(), s.doublerOut); }},
        {"DestroyNode", false, [](Scene& s) { s.graph.DestroyNode(s.doubler->GetId()); }},
        {"LinkPins", false, [](Scene& s) { s.graph.LinkPins(s.sourceOut, s.sinkFreeIn); }},
        {"UnlinkPins", false, [](Scene& s) { s.graph.UnlinkPins(s.sourceOut, s.doublerIn); }},
        {"UnlinkInputPin", false, [](Scene& s) { s.graph.UnlinkInputPin(s.sinkIn); }},
        {"PutDataOnPin", false,
         [](Scene& s) { s.graph.PutDataOnPin(s.sinkIn, std::make_shared<IntValue>(4)); }},
        {"SetUpdatedData", false,
         [](Scene& s) { s.graph.GetTraversablePin(s.sinkIn).SetUpdatedData(true); }},
        {"SetDirty", false, [](Scene& s) { s.graph.SetDirty(s.sink->GetId(), true); }},
        {"AssignNodeToExecutionSubgraphs", false,
         [](Scene& s) { s.graph.AssignNodeToExecutionSubgraphs(s.sink->GetId(), CreateGUID()); }},
        {"GetPinToPinEdges", false, [](Scene& s) { s.graph.GetPinToPinEdges(); }},
        {"GetNodesInTopologicalOrder", false,
         [](Scene& s) { s.graph.GetNodesInTopologicalOrder(); }},
        {"copy construction and destruction", false, [](Scene& s) { Graph copy(s.graph); }},
        {"assignment", false,
         [](Scene& s) {
             Scene other;
             s.graph = other.graph;
         }},
        {"Traverse", true, [](Scene& s) { s.graph.Traverse(); }},
        {"Traverse of a subgraph", true, [](Scene& s) { s.graph.Traverse(s.other); }},
        {"NodeExecutingGraphTraverser", true,
         [](Scene& s) {
             NodeExecutingGraphTraverser traverser(s.graph,
                                                   s.graph.GetDefaultExecutionSubgraphID());
             traverser.Traverse();
         }},
        {"Clear", false, [](Scene& s) { s.graph.Clear(); }},
    };
}

TEST(AllocationFailureTest, EveryFailedAllocationLeavesTheGraphConsistentAndAsItWas) {
    long failurePoints = 0;
    std::vector<std::string> findings;
    for (const Operation& operation : Operations()) {
        for (long n = 0;; ++n) {
            Scene scene;
            const GraphSnapshot before(scene.graph);
            bool failed = false;
            reliability::allocation::FailAfter(n);
            try {
                operation.run(scene);
            } catch (const std::bad_alloc&) {
                failed = true;
            } catch (const GraphException& refused) {
                ADD_FAILURE() << operation.name << " was refused: " << refused.what();
                break;
            }
            const bool injectionUnused = reliability::allocation::Remaining() >= 0;
            reliability::allocation::FailAfter(-1);
            if (!failed) {
                EXPECT_TRUE(injectionUnused) << operation.name << " swallowed the failure at " << n;
                break;
            }
            ++failurePoints;
            try {
                GraphStore::Of(scene.graph).CheckConsistency();
            } catch (const GraphException& broken) {
                findings.push_back(operation.name + ", allocation " + std::to_string(n) + ": " +
                                   broken.what());
                continue;
            }
            const GraphSnapshot after(scene.graph);
            if (!operation.keepsPartialResults && after != before) {
                findings.push_back(operation.name + ", allocation " + std::to_string(n) +
                                   ": the graph changed");
            }
            if (operation.keepsPartialResults &&
                (after.nodes != before.nodes || after.links != before.links)) {
                findings.push_back(operation.name + ", allocation " + std::to_string(n) +
                                   ": the structure changed");
            }
        }
    }
    std::printf("allocation failure points: %ld over %zu operations, findings: %zu\n",
                failurePoints, Operations().size(), findings.size());
    for (const std::string& finding : findings) {
        ADD_FAILURE() << finding;
    }
}

} // namespace
} // namespace datagraph::test
