#pragma once

// A deliberately plain model of everything a host can observe of one graph: nodes with their
// marks and pins, pins with side, type, value and mark, the links in the order they were made and
// the execution-subgraph entries. Queries are computed from these lists the slow, obvious way;
// edits change them without any check (the harness decides what a request is allowed to do).

#include "ScriptedFunction.h"

#include <datagraph/Graph.h>

#include <boost/container/small_vector.hpp>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace datagraph::reliability {

using IdSet = std::set<GUID>;

struct ModelPin {
    GUID owner;
    bool isOutput = false;
    const std::type_info* type = nullptr;
    std::shared_ptr<const IDataValue> value;
    bool mark = false;
};

struct ModelNode {
    const INodeFunction* function = nullptr; // the object the graph's node holds
    std::shared_ptr<const FunctionScript> script;
    const Node* object = nullptr; // bound to the graph's node once it exists
    bool dirty = false;
    bool disabled = false;
    IdSet inputs;
    IdSet outputs;
};

/// A few node ids in id order, each once.
using NodeList = boost::container::small_vector<GUID, 4>;

/// The outcome of a topological sort, which does not depend on any iteration order.
struct TopologyOutcome {
    std::string failure; // empty when the sort succeeds
    // Kept inline for graphs of a few nodes: the sort runs at every traversal.
    boost::container::small_vector<GUID, 16> nodes; // every node, in id order
    /// Beside each of `nodes`, the nodes that list it among their output nodes: each must come
    /// first.
    boost::container::small_vector<NodeList, 16> sources;

    /// The sources of a node of `nodes`; std::out_of_range for any other id.
    const NodeList& SourcesOf(const GUID& node) const;
};

struct GraphModel {
    explicit GraphModel(const GUID& defaultSubgraph)
        : defaultSubgraph(defaultSubgraph) {}

    GUID defaultSubgraph;
    std::map<GUID, ModelNode> nodes;
    std::map<GUID, ModelPin> pins;
    std::vector<std::pair<GUID, GUID>> links;           // (upstream, downstream), as made
    std::vector<std::pair<GUID, GUID>> subgraphEntries; // (subgraph, node), as added

    bool HasUpstream(const GUID& pin) const;
    /// The null GUID when the pin has no upstream pin.
    GUID Upstream(const GUID& pin) const;
    IdSet Downstream(const GUID& pin) const;
    /// The link table as the graph orders it: by upstream pin, then in the order made.
    std::vector<std::pair<GUID, GUID>> LinkTable() const;
    IdSet InputNodes(const GUID& node) const;
    IdSet OutputNodes(const GUID& node) const;
    bool Unconnected(const GUID& node) const;
    /// Every linked input pin of the node carries the mark.
    bool Ready(const GUID& node) const;
    TopologyOutcome Topology() const;

    IdSet Subgraphs() const;
    IdSet NodesIn(const GUID& subgraph) const;
    std::map<GUID, GUID> NodeToSubgraph() const;

    void AddPin(const GUID& node, const GUID& pin, const std::type_info& type, bool isOutput);
    // Ids are taken by value: callers pass keys of the very containers these change.

    /// Removes the pin and every link that names it, at either end.
    void RemovePin(GUID pin);
    void RemoveLink(GUID downstream);
    /// Pins, links, subgraph entries and the node itself; an absent id loses its entries only.
    void DestroyNode(GUID node);
    void SetValue(const GUID& pin, std::shared_ptr<const IDataValue> value);

    /// InputNodes and OutputNodes of a node of the model, without building a set.
    NodeList InputNodesOf(const ModelNode& node) const;
    NodeList OutputNodesOf(const ModelNode& node) const;
};

} // namespace datagraph::reliability
