#include <datagraph/Graph.h>

#include "history/HistoryLog.h"
#include "store/GraphStore.h"

namespace datagraph {

GUID Graph::GetDefaultExecutionSubgraphID() const {
    return store->DefaultExecutionSubgraph();
}

void Graph::AssignNodeToExecutionSubgraphs(const GUID& nodeId, const GUID& executionSubgraph) {
    EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store);
    if (history != nullptr) {
        history->Reserve();
    }
    store->AddSubgraphEntry(nodeId, executionSubgraph);
    if (history != nullptr) {
        history->Commit(GraphStore::Toggles::Entry(nodeId, executionSubgraph));
    }
    if (IGraphEditObserver* observer = store->EditObserver()) {
        observer->NodeAssignedToExecutionSubgraph(nodeId, executionSubgraph);
    }
}

IdentifierSet Graph::GetExecutionSubgraphs() const {
    IdentifierSet subgraphs;
    for (const auto& entry : store->Subgraphs()) {
        subgraphs.insert(entry.first);
    }
    return subgraphs;
}

IdentifierSet Graph::GetNodesInExecutionSubgraph(const GUID& executionSubgraph) const {
    IdentifierSet nodeIds;
    for (auto* entry = store->FirstEntryOf(executionSubgraph); entry != nullptr;
         entry = entry->Next()) {
        nodeIds.insert(entry->NodeId());
    }
    return nodeIds;
}

Graph::NodeToExecutionSubgraphMap Graph::GetNodeToExecutionSubgraphMap() const {
    NodeToExecutionSubgraphMap subgraphOfNode;
    for (const auto& [subgraphId, subgraph] : store->Subgraphs()) {
        for (const auto* entry = subgraph.first; entry != nullptr; entry = entry->Next()) {
            subgraphOfNode.emplace(entry->NodeId(), subgraphId); // keeps the first, smallest one
        }
    }
    return subgraphOfNode;
}

} // namespace datagraph
