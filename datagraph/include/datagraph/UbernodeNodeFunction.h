#pragma once

// A node function whose computation is a whole inner graph: its inputs are put on pins of the
// inner graph, the inner default execution subgraph is traversed once, and its outputs are read
// from pins of the inner graph. Copies and clones copy the inner graph deeply.

#include <datagraph/Foundation.h>
#include <datagraph/Graph.h>
#include <datagraph/INodeFunction.h>

#include <memory>
#include <string>

namespace datagraph {

/// @brief A node function whose computation is a whole inner graph: its inputs are put on pins of
/// the inner graph, the inner default execution subgraph is traversed once, and its outputs are
/// read from pins of the inner graph.
///
/// Copies and clones copy the inner graph deeply.
class DATAGRAPH_API UbernodeNodeFunction : public INodeFunction {
public:
    /// Schema keys are ids of pins of the inner graph. Raises GraphException for an empty graph.
    UbernodeNodeFunction(std::shared_ptr<Graph> graph, const Schema inputSchema,
                         const Schema outputSchema, const std::string& name,
                         const std::string& description, GUID id);
    /// Copies everything, the inner graph deeply.
    UbernodeNodeFunction(const UbernodeNodeFunction& other);
    UbernodeNodeFunction& operator=(const UbernodeNodeFunction&) = delete;
    ~UbernodeNodeFunction() override;

    std::shared_ptr<INodeFunction> Clone() const override;
    /// Outputs whose inner pin holds no value are left out.
    DataMap Execute(const DataMap& inputs) override;
    std::string GetName() const override;
    std::string GetDescription() const override;
    GUID GetId() const override;
    /// Borrowed from the inner node that owns the pin.
    std::string GetInputOrOutputName(const GUID& pinId) const override;
    std::string GetInputOrOutputDescription(const GUID& pinId) const override;
    Schema GetInputSchema() const override;
    Schema GetOutputSchema() const override;
    /// "graph-node".
    std::string GetClassIdentifier() const override;

    /// The inner graph, valid while this function (or another share of the graph) lives.
    const Graph* GetGraph() const;
    /// The inner graph, for editing, e.g. that of a copied ubernode. Making this ubernode (or one
    /// that nests it) a node of its own inner graph is refused by Graph::CreateNode.
    Graph* GetGraph();

private:
    std::string name;
    std::string description;
    std::shared_ptr<Graph> graph;
    Schema inputSchema;
    Schema outputSchema;
    GUID id;
};

} // namespace datagraph
