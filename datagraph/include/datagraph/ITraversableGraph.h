#pragma once

// The side of a graph that a traverser walks: nodes and pins by id, connectivity, topological
// order and execution-subgraph membership. Queries on unknown ids answer empty, false or the
// null GUID; the reference-returning lookups raise std::out_of_range.

#include <datagraph/Foundation.h>
#include <datagraph/ITraversableNode.h>
#include <datagraph/ITraversablePin.h>

namespace datagraph {

/// @brief The side of a graph that a traverser walks: nodes and pins by id, connectivity,
/// topological order and execution-subgraph membership.
///
/// Queries on unknown ids answer empty, false or the null GUID; the reference-returning lookups
/// raise std::out_of_range.
class DATAGRAPH_API ITraversableGraph {
public:
    virtual ~ITraversableGraph();
    ITraversableGraph() = default;
    ITraversableGraph(const ITraversableGraph&) = default;
    ITraversableGraph& operator=(const ITraversableGraph&) = default;

    /// The reference stays valid while the node stays in the graph.
    virtual ITraversableNode& GetTraversableNode(const GUID& nodeId) = 0;
    /// The reference stays valid while the pin stays in the graph.
    virtual ITraversablePin& GetTraversablePin(const GUID& pinId) = 0;
    /// Raises GraphException "Pin not associated with a node." for an unknown pin.
    virtual GUID GetOwningNode(const GUID& pinId) const = 0;
    virtual IdentifierSet GetInputPins(const GUID& nodeId) const = 0;
    virtual IdentifierSet GetOutputPins(const GUID& nodeId) const = 0;
    /// Every node, each after the nodes that feed it; raises GraphException on a cycle.
    virtual IdentifierList GetNodesInTopologicalOrder() const = 0;
    virtual IdentifierSet GetOutputNodes(const GUID& nodeId) const = 0;
    virtual IdentifierSet GetInputNodes(const GUID& nodeId) const = 0;
    virtual bool NodeIsUnconnected(const GUID& nodeId) const = 0;
    virtual IdentifierSet GetDownstreamPins(const GUID& outputPinId) const = 0;
    virtual bool HasUpstreamPin(const GUID& inputPinId) const = 0;
    /// The null GUID when the pin has no upstream link.
    virtual GUID GetUpstreamPin(const GUID& inputPinId) const = 0;
    virtual IdentifierSet GetNodesInExecutionSubgraph(const GUID& executionSubgraph) const = 0;
};

} // namespace datagraph
