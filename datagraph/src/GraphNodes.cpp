#include <datagraph/Graph.h>

#include "GraphFields.h"

namespace datagraph {

void Graph::CreateNode(std::shared_ptr<INodeFunction> function, const GUID& executionSubgraph) {
    GraphAssert(function != nullptr, "Node function cannot be null");
    const GUID nodeId = function->GetId();
    GraphAssert(!HasNode(nodeId), "GUID is already assigned to an existing node.");
    const Schema inputSchema = function->GetInputSchema();
    const Schema outputSchema = function->GetOutputSchema();
    PrivateHelper_CheckPinIdsAreFree(inputSchema, outputSchema);

    fields->nodes.emplace(nodeId, std::make_shared<Node>(*this, std::move(function)));
    for (const auto& [pinId, dataType] : inputSchema) {
        PrivateHelper_CreatePin(nodeId, pinId, dataType, false);
    }
    for (const auto& [pinId, dataType] : outputSchema) {
        PrivateHelper_CreatePin(nodeId, pinId, dataType, true);
    }
    const GUID& subgraph =
        executionSubgraph == GetNullGUID() ? fields->defaultExecutionSubgraphID : executionSubgraph;
    PrivateHelper_AddNodeToExecutionSubgraph(nodeId, subgraph);
}

void Graph::PrivateHelper_CheckPinIdsAreFree(const Schema& inputSchema,
                                             const Schema& outputSchema) const {
    for (const auto& entry : inputSchema) {
        GraphAssert(!HasPin(entry.first), "Requested pin id is already being used by another pin.");
    }
    for (const auto& entry : outputSchema) {
        GraphAssert(!HasPin(entry.first) && inputSchema.count(entry.first) == 0,
                    "Requested pin id is already being used by another pin.");
    }
}

void Graph::CreateInputPin(const GUID& nodeId, const GUID& pinId, const std::type_info& dataType) {
    PrivateHelper_CreatePin(nodeId, pinId, dataType, false);
}

void Graph::CreateOutputPin(const GUID& nodeId, const GUID& pinId, const std::type_info& dataType) {
    PrivateHelper_CreatePin(nodeId, pinId, dataType, true);
}

void Graph::PrivateHelper_CreatePin(const GUID& nodeId, const GUID& pinId,
                                    const std::type_info& dataType, bool outputPin) {
    GraphAssert(HasNode(nodeId), "Node does not exist");
    GraphAssert(!HasPin(pinId), "Requested pin id is already being used by another pin.");

    fields->pins.emplace(pinId, std::make_shared<Pin>(dataType, pinId));
    (outputPin ? fields->nodeToOutputPins : fields->nodeToInputPins).Add(nodeId, pinId);
}

void Graph::DestroyInputPin(const GUID& nodeId, const GUID& pinId) {
    PrivateHelper_DestroyPin(nodeId, pinId, false);
}

void Graph::DestroyOutputPin(const GUID& nodeId, const GUID& pinId) {
    PrivateHelper_DestroyPin(nodeId, pinId, true);
}

void Graph::PrivateHelper_DestroyPin(const GUID& nodeId, GUID pinId, bool outputPin) {
    OneToManyMap& owners = outputPin ? fields->nodeToOutputPins : fields->nodeToInputPins;
    GraphAssert(HasNode(nodeId), "The node must exist for us to destroy its pin.");
    GraphAssert(owners.HasValue(pinId));
    GraphAssert(owners.GetKey(pinId) == nodeId);

    fields->pins.erase(pinId);
    owners.RemoveValue(pinId);
    // Every link that names the pin goes with it, whichever end it stands at, so the link table
    // never refers to a pin that is gone.
    OneToManyMap& links = fields->pinToPinEdges;
    if (links.HasValue(pinId)) {
        links.RemoveValue(pinId);
    }
    if (links.HasKey(pinId)) {
        links.RemoveKey(pinId);
    }
}

void Graph::DestroyNode(const GUID& nodeIdArgument) {
    const GUID nodeId = nodeIdArgument; // the argument may refer into a table that changes below
    for (const GUID& pinId : fields->nodeToInputPins.GetValues(nodeId)) {
        DestroyInputPin(nodeId, pinId);
    }
    for (const GUID& pinId : fields->nodeToOutputPins.GetValues(nodeId)) {
        DestroyOutputPin(nodeId, pinId);
    }
    auto entries = fields->subgraphEntriesOfNode.find(nodeId);
    if (entries != fields->subgraphEntriesOfNode.end()) {
        for (auto entry : entries->second) {
            fields->executionSubgraphToNodes.erase(entry);
        }
        fields->subgraphEntriesOfNode.erase(entries);
    }
    fields->nodes.erase(nodeId);

    GraphAssert(!fields->nodeToInputPins.HasKey(nodeId), "Pins should already have been removed");
    GraphAssert(!fields->nodeToOutputPins.HasKey(nodeId), "Pins should already have been removed");
}

void Graph::SetDirty(const GUID& nodeId, bool dirty) {
    GetNode(nodeId).SetDirty(dirty);
}

} // namespace datagraph
