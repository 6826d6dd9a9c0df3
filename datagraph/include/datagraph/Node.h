#pragma once

// A node of a graph: it wraps a node function, from which it takes its identity, and keeps the
// host's dirty and disabled marks. It refers to its graph without owning it, so the graph must
// outlive every use of the node.

#include <datagraph/Foundation.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/ITraversableNode.h>

#include <memory>
#include <string>

namespace datagraph {

class Graph;
class GraphStore;

/// @brief A node of a graph: it wraps a node function, from which it takes its identity, and
/// keeps the host's dirty and disabled marks.
///
/// It refers to its graph without owning it, so the graph must outlive every use of the node.
class DATAGRAPH_API Node : public ITraversableNode {
public:
    /// Shares `function` with the caller; raises GraphException when it is empty.
    Node(Graph& graph, std::shared_ptr<INodeFunction> function);
    /// A node of `graph` holding a Clone() of the other node's function and its marks.
    Node(Graph& graph, const Node& other);
    /// Shares the other node's function and graph.
    Node(const Node& other);
    Node& operator=(const Node&) = delete;
    ~Node() override;

    /// The function's GetId(), asked on every call.
    GUID GetId() const;
    const INodeFunction& GetNodeFunction() const;
    bool GetDirty() const;
    bool GetDisabled() const;
    void SetDisabled(bool disabled);
    /// Asks the node's graph; empty once the node has left the graph.
    IdentifierSet GetInputPins() const;
    IdentifierSet GetOutputPins() const;

    std::string GetNodeName() override;
    std::string GetNodeDescription() override;
    std::string GetPinName(const GUID& pinId) override;
    std::string GetPinDescription(const GUID& pinId) override;
    /// Calls the function with the values on the input pins and writes its outputs one by one.
    void Execute() override;
    void SetDirty(bool dirty) override;

private:
    friend class GraphStore; // a graph's own traversal runs the function without asking the node

    std::shared_ptr<INodeFunction> function;
    bool dirty;
    bool disabled;
    Graph& graph;
};

} // namespace datagraph
