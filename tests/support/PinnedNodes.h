#pragma once

// Nodes with any number of int pins, for tests that link pins one by one. Each keeps its function
// and its pin ids in schema-declaration order.

#include "StubFunction.h"
#include "TestValues.h"

#include <datagraph/Graph.h>

#include <algorithm>
#include <functional>
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

/// Likewise with every id, the node's and its pins', drawn from `newId`.
inline PinnedNode AddPinnedNode(Graph& graph, int inputs, int outputs,
                                const std::function<GUID()>& newId = CreateGUID) {
    const GUID nodeId = newId();
    std::vector<GUID> in(inputs), out(outputs);
    std::generate(in.begin(), in.end(), newId);
    std::generate(out.begin(), out.end(), newId);
    return AddPinnedNode(graph, std::move(in), std::move(out), nodeId);
}

} // namespace datagraph::test
