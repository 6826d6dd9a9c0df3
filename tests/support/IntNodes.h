#pragma once

// Small int-valued node functions for building graphs that run: a counting source, an
// incrementing relay and a sink. Each keeps its pin ids at hand for linking and checking.

#include "StubFunction.h"
#include "TestValues.h"

#include <datagraph/Graph.h>

#include <gtest/gtest.h>

#include <memory>

namespace datagraph::test {

struct IntNode {
    std::shared_ptr<StubFunction> function = std::make_shared<StubFunction>();
    GUID in;  // null for a source
    GUID out; // null for a sink

    GUID Id() const { return function->GetId(); }

    int Executes() const { return function->Calls().executes; }

    /// The int that the last execution received on `in`.
    int LastInput() const { return IntOf(function->Calls().lastInputs.at(in)); }
};

/// No inputs, one int output; the n-th execution (clones included) outputs n.
inline IntNode CountingSource() {
    IntNode node;
    node.out = node.function->AddOutput(typeid(IntValue));
    auto count = std::make_shared<int>(0);
    node.function->SetBody([count, out = node.out](const DataMap&) {
        return DataMap{{out, Int(++*count)}};
    });
    return node;
}

/// One int input, one int output holding the input plus `step`.
inline IntNode Increment(int step = 1) {
    IntNode node;
    node.in = node.function->AddInput(typeid(IntValue));
    node.out = node.function->AddOutput(typeid(IntValue));
    node.function->SetBody([step, in = node.in, out = node.out](const DataMap& inputs) {
        return DataMap{{out, Int(IntOf(inputs.at(in)) + step)}};
    });
    return node;
}

/// One int input, no output.
inline IntNode Sink() {
    IntNode node;
    node.in = node.function->AddInput(typeid(IntValue));
    return node;
}

/// A graph with a main (default) and another execution subgraph, for traversal tests.
class TwoSubgraphsTest : public ::testing::Test {
protected:
    IntNode Add(IntNode node, const GUID& subgraph = GetNullGUID()) {
        graph.CreateNode(node.function, subgraph);
        return node;
    }

    const GUID mainSubgraph = CreateGUID();
    const GUID otherSubgraph = CreateGUID();
    Graph graph{mainSubgraph};
};

} // namespace datagraph::test
