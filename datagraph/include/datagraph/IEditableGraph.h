#pragma once

// The host's side of a graph: build it, link pins, put values on them and run it. A refused
// request raises GraphException (or std::out_of_range for an unknown pin or node in a lookup)
// and leaves the graph as it was. A graph is used by one thread at a time.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>
#include <datagraph/INodeFunction.h>

#include <functional>
#include <memory>
#include <typeinfo>
#include <unordered_map>

namespace datagraph {

class Node;

/// @brief The host's side of a graph: build it, link pins, put values on them and run it.
///
/// A refused request raises GraphException (or std::out_of_range for an unknown pin or node in a
/// lookup) and leaves the graph as it was. A graph is used by one thread at a time.
class DATAGRAPH_API IEditableGraph {
public:
    virtual ~IEditableGraph();
    IEditableGraph() = default;
    IEditableGraph(const IEditableGraph&) = default;
    IEditableGraph& operator=(const IEditableGraph&) = default;

    /// The node is named by function->GetId(); the null GUID files it under the default
    /// execution subgraph.
    virtual void CreateNode(std::shared_ptr<INodeFunction> function,
                            const GUID& executionSubgraph) = 0;
    /// An id that names no node is not an error.
    virtual void DestroyNode(const GUID& nodeId) = 0;
    /// Linking a pair that is already linked is a no-op.
    virtual void LinkPins(const GUID& outputPinId, const GUID& inputPinId) = 0;
    virtual void UnlinkPins(const GUID& outputPinId, const GUID& inputPinId) = 0;
    /// A pin without an upstream link, or an unknown id, is left alone without failing.
    virtual void UnlinkInputPin(const GUID& inputPinId) = 0;
    virtual bool NodeIsUnconnected(const GUID& nodeId) const = 0;
    virtual void CreateInputPin(const GUID& nodeId, const GUID& pinId,
                                const std::type_info& dataType) = 0;
    virtual void CreateOutputPin(const GUID& nodeId, const GUID& pinId,
                                 const std::type_info& dataType) = 0;
    virtual std::shared_ptr<const IDataValue> GetDataFromPin(const GUID& pinId) const = 0;
    /// Writes the value and sets the pin's updated-data mark; moves nothing downstream.
    virtual void PutDataOnPin(const GUID& pinId, std::shared_ptr<const IDataValue> data) = 0;
    /// Marks that one node only.
    virtual void SetDirty(const GUID& nodeId, bool dirty) = 0;
    virtual IdentifierList FindNodes(std::function<bool(const INodeFunction&)> predicate) const = 0;
    virtual void Traverse(const GUID& executionSubgraph) = 0;
    /// Traverses the default execution subgraph.
    virtual void Traverse() = 0;
    virtual std::unordered_map<GUID, std::shared_ptr<Node>, boost::hash<GUID>, std::equal_to<GUID>>
    GetNodes() const = 0;
};

} // namespace datagraph
