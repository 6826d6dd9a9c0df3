#pragma once

// Nodes with any number of int pins, for tests that link pins one by one. Each keeps its function
// and its pin ids in schema-declaration order.

#include "StubFunction.h"
#include "TestValues.h"

#include <datagraph/Graph.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace datagraph::test {

struct PinnedNode {
    std::shared_ptr<StubFunction> function;
    GUID id;
    std::vector<GUID> in;
    std::vector<GUID> out;
};

/// Adds a node with these int pins to the default execution subgraph of `graph`.
inline PinnedNode AddPinnedNode(Graph& graph, std::vector<GUID> in, std::vector<GUID> out,
                                const GUID& nodeId = CreateGUID()) {
    auto function = std::make_shared<StubFunction>(nodeId);
    for (const GUID& pinId : in) {
        function->AddInput(typeid(IntValue), pinId);
    }
    for (const GUID& pinId : out) {
        function->AddOutput(typeid(IntValue), pinId);
    }
    graph.CreateNode(function, GetNullGUID());
    return {function, nodeId, std::move(in), std::move(out)};
}

/// Likewise with fresh ids for the node and its pins.
inline PinnedNode AddPinnedNode(Graph& graph, int inputs, int outputs) {
    std::vector<GUID> in(inputs), out(outputs);
    std::generate(in.begin(), in.end(), CreateGUID);
    std::generate(out.begin(), out.end(), CreateGUID);
    return AddPinnedNode(graph, std::move(in), std::move(out));
}

} // namespace datagraph::test
