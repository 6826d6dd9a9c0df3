#pragma once

// Everything a host can observe of a graph through its public queries, in a form that compares
// with == and prints readably. Take one before a refused edit and compare it afterwards.

#include <datagraph/Graph.h>

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace datagraph::test {

struct PinState {
    GUID owner;
    bool isOutput = false;
    std::string typeName;
    const IDataValue* data = nullptr;
    bool updatedData = false;
    GUID upstream;
    std::vector<GUID> downstream; // sorted

    bool operator==(const PinState& other) const;
};

struct NodeState {
    const Node* object = nullptr;
    bool dirty = false;
    bool disabled = false;
    std::vector<GUID> inputPins;  // sorted
    std::vector<GUID> outputPins; // sorted

    bool operator==(const NodeState& other) const;
};

struct GraphSnapshot {
    explicit GraphSnapshot(const Graph& graph);

    GUID defaultExecutionSubgraph;
    std::map<GUID, NodeState> nodes;
    std::map<GUID, PinState> pins;
    std::vector<std::pair<GUID, GUID>> links;    // in table order
    std::map<GUID, std::vector<GUID>> subgraphs; // subgraph to its sorted node ids
    std::map<GUID, GUID> nodeToSubgraph;

    bool operator==(const GraphSnapshot& other) const;

    bool operator!=(const GraphSnapshot& other) const { return !(*this == other); }
};

void PrintTo(const GraphSnapshot& snapshot, std::ostream* os);

/// Sorted copy of an identifier set, for element-by-element comparison.
std::vector<GUID> Sorted(const IdentifierSet& ids);

} // namespace datagraph::test
