#pragma once

// Everything a host can ask a graph, taken at once: the default subgraph, every node (its Node
// and function objects, dirty and disabled flags, pins and neighbours), every pin (its Pin
// object, owner, side, type, value object and mark, upstream and downstream pins), the link
// table in its order (the links of each output pin in the order they were made) and its address,
// the subgraphs and their nodes, the node-to-subgraph map and whether the order finds a cycle.
// Taking one also checks that the queries agree with each other.

#include <datagraph/Graph.h>

#include <map>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

namespace datagraph::reliability {

struct HistoryMismatch : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// What a host wrote or a traversal left on a pin.
struct PinData {
    const IDataValue* value = nullptr;
    long serial = 0; // of the value object, 0 for none
    bool mark = false;

    bool operator==(const PinData& other) const {
        return value == other.value && serial == other.serial && mark == other.mark;
    }

    bool operator!=(const PinData& other) const { return !(*this == other); }
};

struct NodeFlags {
    bool dirty = false;
    bool disabled = false;

    bool operator==(const NodeFlags& other) const {
        return dirty == other.dirty && disabled == other.disabled;
    }
};

struct PinView {
    const Pin* object = nullptr;
    GUID owner;
    bool output = false;
    std::type_index type = typeid(void);
    PinData data;
    GUID upstream;
    std::vector<GUID> downstream; // sorted
};

struct NodeView {
    const Node* object = nullptr;
    const INodeFunction* function = nullptr;
    NodeFlags flags;
    std::vector<GUID> inputs, outputs;         // sorted
    std::vector<GUID> inputNodes, outputNodes; // sorted
    bool unconnected = false;
};

struct HistorySnapshot {
    explicit HistorySnapshot(const Graph& graph);

    GUID defaultSubgraph;
    const void* linkTable = nullptr;
    std::map<GUID, NodeView> nodes;
    std::map<GUID, PinView> pins;
    std::vector<std::pair<GUID, GUID>> links;    // in table order
    std::map<GUID, std::vector<GUID>> subgraphs; // sorted node ids
    std::map<GUID, GUID> nodeToSubgraph;
    bool cyclic = false;

    /// The same snapshot with the values, marks and flags of `pins` and `flags` in place of its
    /// own; every pin and node object must have an entry.
    HistorySnapshot WithData(const std::map<const Pin*, PinData>& pinData,
                             const std::map<const Node*, NodeFlags>& flags) const;
};

/// The first difference found, described, or an empty string; `data` false leaves out values,
/// marks and flags.
std::string Difference(const HistorySnapshot& expected, const HistorySnapshot& actual,
                       bool data = true);

/// A short readable name for an id: the harness names its pools.
std::string ShortName(const GUID& id);
void NameId(const GUID& id, const std::string& name);

} // namespace datagraph::reliability
