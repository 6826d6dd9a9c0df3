#pragma once

// A dataflow graph: nodes made from node functions, their typed pins, links from output pins to
// input pins, the values on the pins and the execution subgraphs that group nodes for a run.
// The graph owns its nodes and pins; copies are deep. It is used by one thread at a time, and a
// refused request leaves it as it was unless the failure's documentation says otherwise.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>
#include <datagraph/IEditableGraph.h>
#include <datagraph/IGraphEditObserver.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/ITraversableGraph.h>
#include <datagraph/ITraversableNode.h>
#include <datagraph/ITraversablePin.h>
#include <datagraph/ITraversalObserver.h>
#include <datagraph/Node.h>
#include <datagraph/Pin.h>

#include <functional>
#include <map>
#include <memory>
#include <typeinfo>
#include <unordered_map>
#include <vector>

namespace datagraph {

class GraphStore;

/// @brief A dataflow graph: nodes made from node functions, their typed pins, links from output
/// pins to input pins, the values on the pins and the execution subgraphs that group nodes for a
/// run.
///
/// The graph owns its nodes and pins; copies are deep. It is used by one thread at a time, and a
/// refused request leaves it as it was unless the failure's documentation says otherwise.
class DATAGRAPH_API Graph : public IEditableGraph, public ITraversableGraph {
public:
    using NodeMap =
        std::unordered_map<GUID, std::shared_ptr<Node>, boost::hash<GUID>, std::equal_to<GUID>>;
    using PinMap =
        std::unordered_map<GUID, std::shared_ptr<Pin>, boost::hash<GUID>, std::equal_to<GUID>>;
    using NodeToExecutionSubgraphMap =
        std::unordered_map<GUID, GUID, boost::hash<GUID>, std::equal_to<GUID>>;

    explicit Graph(const GUID& defaultExecutionSubgraphID);
    /// A deep copy: new nodes and pins, cloned node functions and values, not traversing.
    Graph(const Graph& other);
    /// All or nothing: when a Clone() fails the target is left as it was.
    Graph& operator=(const Graph& other);
    /// Clears the graph; never throws.
    ~Graph() override;

    // Nodes and pins.
    void CreateNode(std::shared_ptr<INodeFunction> function,
                    const GUID& executionSubgraph) override;
    void DestroyNode(const GUID& nodeId) override;
    void CreateInputPin(const GUID& nodeId, const GUID& pinId,
                        const std::type_info& dataType) override;
    void CreateOutputPin(const GUID& nodeId, const GUID& pinId,
                         const std::type_info& dataType) override;
    void DestroyInputPin(const GUID& nodeId, const GUID& pinId);
    void DestroyOutputPin(const GUID& nodeId, const GUID& pinId);
    /// Destroys every node; the default execution subgraph stays.
    void Clear();

    bool HasNode(const GUID& nodeId) const;
    bool HasPin(const GUID& pinId) const;
    /// Raises std::out_of_range for an unknown id.
    const Node& GetConstNode(const GUID& nodeId) const;
    /// Raises std::out_of_range for an unknown id.
    const Pin& GetConstPin(const GUID& pinId) const;
    ITraversableNode& GetTraversableNode(const GUID& nodeId) override;
    ITraversablePin& GetTraversablePin(const GUID& pinId) override;

    // Links and connectivity.
    void LinkPins(const GUID& outputPinId, const GUID& inputPinId) override;
    void UnlinkPins(const GUID& outputPinId, const GUID& inputPinId) override;
    void UnlinkInputPin(const GUID& inputPinId) override;
    bool NodeIsUnconnected(const GUID& nodeId) const override;
    GUID GetUpstreamPin(const GUID& inputPinId) const override;
    bool HasUpstreamPin(const GUID& inputPinId) const override;
    IdentifierSet GetDownstreamPins(const GUID& outputPinId) const override;
    GUID GetOwningNode(const GUID& pinId) const override;
    IdentifierSet GetInputPins(const GUID& nodeId) const override;
    IdentifierSet GetOutputPins(const GUID& nodeId) const override;
    IdentifierSet GetInputNodes(const GUID& nodeId) const override;
    IdentifierSet GetOutputNodes(const GUID& nodeId) const override;
    /// The live link table, upstream pin to downstream pin; the links of one output pin lie in
    /// the order they were made. Valid as long as the graph.
    const std::multimap<GUID, GUID>& GetPinToPinEdges() const;

    // Pin data and marks.
    std::shared_ptr<const IDataValue> GetDataFromPin(const GUID& pinId) const override;
    void PutDataOnPin(const GUID& pinId, std::shared_ptr<const IDataValue> data) override;
    void SetDirty(const GUID& nodeId, bool dirty) override;

    // Order and execution subgraphs.
    IdentifierList GetNodesInTopologicalOrder() const override;
    GUID GetDefaultExecutionSubgraphID() const;
    /// Adds the node to one more subgraph; checks nothing.
    void AssignNodeToExecutionSubgraphs(const GUID& nodeId, const GUID& executionSubgraph);
    IdentifierSet GetExecutionSubgraphs() const;
    IdentifierSet GetNodesInExecutionSubgraph(const GUID& executionSubgraph) const override;
    /// Each node maps to the smallest (in GUID order) subgraph it is filed under.
    NodeToExecutionSubgraphMap GetNodeToExecutionSubgraphMap() const;

    // Running.
    /// How many traversals may run inside each other on one thread, through ubernodes whose inner
    /// graphs hold further ubernodes: the traversal one level deeper is refused with
    /// GraphException, which the enclosing traversal logs as its ubernode's failure. Safe on a
    /// thread with a stack of 8 MiB.
    static constexpr int MaxNestedTraversals = 1000;

    /// Refused with GraphException while this graph is already traversing, and when it would run
    /// inside MaxNestedTraversals others.
    void Traverse(const GUID& executionSubgraph) override;
    void Traverse() override;
    /// As Traverse(executionSubgraph), and tells `observer` what happened to every node.
    void Traverse(const GUID& executionSubgraph, ITraversalObserver& observer);
    /// As Traverse(), and tells `observer` what happened to every node.
    void Traverse(ITraversalObserver& observer);

    /// Leaves every pin as Traverse(executionSubgraph) would, but executes only the nodes that
    /// are not up to date. A node is up to date when its last execution was by this graph's
    /// Traverse or TraverseChanged and ended without an exception, and since then each of its
    /// pins has been given no other value object by a traversal (one given another object and
    /// then its old one back counts as changed), the host has written, marked or unmarked none of
    /// its pins (each call counts, even one that changes nothing), no pin was made on it or taken
    /// from it, MarkChanged did not name it and, for an ubernode, the host edited no graph nested
    /// in it (MarkChanged there included). New nodes, the nodes of a copied graph and nodes whose
    /// last execution failed are not up to date; a node whose values failed to move on stays up
    /// to date and tries those moves again. An up-to-date node still hands its marked output
    /// values to the linked pins that do not already hold that object with the mark, so a node
    /// function that returns the object its output pin already holds stops the change there.
    ///
    /// This holds for node functions whose outputs depend only on the input values they receive;
    /// MarkChanged covers those that read anything else. With no structural edit since the last
    /// run, a call costs about the nodes it executes and the values it moves, whatever the size
    /// of the graph; after one, it first works out the order again. Refused, and logged, exactly
    /// as Traverse is; a node not reached when an exception other than GraphException leaves the
    /// run keeps its pending change for the next call. The observer hears NodeRan and NodeFailed
    /// as from Traverse, and NodeSkipped only for the nodes the run looked at.
    void TraverseChanged(const GUID& executionSubgraph);
    /// TraverseChanged over the default execution subgraph.
    void TraverseChanged();
    /// As TraverseChanged(executionSubgraph), telling `observer` what happened to each node it
    /// looked at.
    void TraverseChanged(const GUID& executionSubgraph, ITraversalObserver& observer);
    /// Makes the node not up to date until it next executes, for functions that read state
    /// outside the graph (a clock, a file). Raises std::out_of_range, as SetDirty does, when no
    /// node has the id.
    void MarkChanged(const GUID& nodeId);

    // Finding and enumeration.
    IdentifierList FindNodes(std::function<bool(const INodeFunction&)> predicate) const override;
    NodeMap GetNodes() const override;
    IdentifierSet GetNodesInArbitraryOrder() const;
    /// Non-owning pointers, valid while each pin stays in the graph.
    std::vector<const Pin*> GetAllPins() const;

    // Edit notifications.
    /// Tells `observer` of every later change made to this graph, as IGraphEditObserver
    /// describes; one observer at a time, in place of the previous one, and null to stop. The
    /// observer is not owned and must stay alive while attached; a copy of the graph starts
    /// without one, and assigning another graph to this one keeps it.
    void SetEditObserver(IGraphEditObserver* observer);

private:
    friend class GraphStore; // the records are reached from a graph only through the store

    Node& GetNode(const GUID& nodeId);
    Pin& GetPin(const GUID& pinId);
    IdentifierSet PrivateHelper_GetPins(const GUID& nodeId, bool outputPins) const;
    IdentifierSet PrivateHelper_GetAttachedNodes(const GUID& nodeId, bool inputNodes) const;
    void PrivateHelper_CreatePin(const GUID& nodeId, const GUID& pinId,
                                 const std::type_info& dataType, bool outputPin);
    void PrivateHelper_DestroyPin(const GUID& nodeId, GUID pinId, bool outputPin);
    void PrivateHelper_Traverse(const GUID& executionSubgraph, ITraversalObserver* observer);
    void PrivateHelper_TraverseChanged(const GUID& executionSubgraph, ITraversalObserver* observer);
    bool PrivateHelper_WouldContainItself(const INodeFunction& function) const;

    std::unique_ptr<GraphStore> store;
};

/// A new empty graph, offered through its editing side; the object also offers
/// ITraversableGraph.
DATAGRAPH_API std::shared_ptr<IEditableGraph> CreateGraph(const GUID& defaultExecutionSubgraphID);

} // namespace datagraph
