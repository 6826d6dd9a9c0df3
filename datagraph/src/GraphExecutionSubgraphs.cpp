#include <datagraph/Graph.h>

#include "GraphFields.h"

namespace datagraph {

GUID Graph::GetDefaultExecutionSubgraphID() const {
    return fields->defaultExecutionSubgraphID;
}

void Graph::AssignNodeToExecutionSubgraphs(const GUID& nodeId, const GUID& executionSubgraph) {
    fields->AddSubgraphEntry(nodeId, fields->FindNode(nodeId), executionSubgraph);
}

IdentifierSet Graph::GetExecutionSubgraphs() const {
    IdentifierSet subgraphs;
    const auto& table = fields->executionSubgraphToNodes;
    for (auto entry = table.begin(); entry != table.end();
         entry = table.upper_bound(entry->first)) {
        subgraphs.insert(entry->first);
    }
    return subgraphs;
}

IdentifierSet Graph::GetNodesInExecutionSubgraph(const GUID& executionSubgraph) const {
    IdentifierSet nodeIds;
    auto range = fields->executionSubgraphToNodes.equal_range(executionSubgraph);
    for (auto entry = range.first; entry != range.second; ++entry) {
        nodeIds.insert(entry->second);
    }
    return nodeIds;
}

Graph::NodeToExecutionSubgraphMap Graph::GetNodeToExecutionSubgraphMap() const {
    NodeToExecutionSubgraphMap subgraphOfNode;
    for (const auto& [subgraph, nodeId] : fields->executionSubgraphToNodes) {
        subgraphOfNode.emplace(nodeId, subgraph); // keeps the first, smallest subgraph
    }
    return subgraphOfNode;
}

} // namespace datagraph
