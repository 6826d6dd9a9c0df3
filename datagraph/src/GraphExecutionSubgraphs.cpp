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
    for (const auto& entry : fields->subgraphs) {
        subgraphs.insert(entry.first);
    }
    return subgraphs;
}

IdentifierSet Graph::GetNodesInExecutionSubgraph(const GUID& executionSubgraph) const {
    IdentifierSet nodeIds;
    auto subgraph = fields->subgraphs.find(executionSubgraph);
    if (subgraph != fields->subgraphs.end()) {
        for (auto* entry = subgraph->second.first; entry != nullptr; entry = entry->next) {
            nodeIds.insert(entry->nodeId);
        }
    }
    return nodeIds;
}

Graph::NodeToExecutionSubgraphMap Graph::GetNodeToExecutionSubgraphMap() const {
    NodeToExecutionSubgraphMap subgraphOfNode;
    for (const auto& [subgraphId, subgraph] : fields->subgraphs) {
        for (auto* entry = subgraph.first; entry != nullptr; entry = entry->next) {
            subgraphOfNode.emplace(entry->nodeId, subgraphId); // keeps the first, smallest one
        }
    }
    return subgraphOfNode;
}

} // namespace datagraph
