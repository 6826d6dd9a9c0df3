#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"

#include <algorithm>

namespace datagraph {

void Graph::CreateNode(std::shared_ptr<INodeFunction> function, const GUID& executionSubgraph) {
    CheckThat(function != nullptr, "Node function cannot be null");
    const GUID nodeId = function->GetId();
    CheckThat(!HasNode(nodeId), "GUID is already assigned to an existing node.");
    const Schema inputSchema = function->GetInputSchema();
    const Schema outputSchema = function->GetOutputSchema();
    PrivateHelper_CheckPinIdsAreFree(inputSchema, outputSchema);

    auto node = std::make_shared<Node>(*this, std::move(function));
    Fields::NodeRecord& record = fields->nodes[nodeId];
    record.id = nodeId;
    record.node = std::move(node);
    auto absent = fields->subgraphEntriesOfAbsentNodes.find(nodeId);
    if (absent != fields->subgraphEntriesOfAbsentNodes.end()) {
        record.subgraphEntries = std::move(absent->second);
        fields->subgraphEntriesOfAbsentNodes.erase(absent);
    }
    record.inputPins.reserve(inputSchema.size());
    for (const auto& [pinId, dataType] : inputSchema) {
        PrivateHelper_CreatePin(nodeId, pinId, dataType, false);
    }
    record.outputPins.reserve(outputSchema.size());
    for (const auto& [pinId, dataType] : outputSchema) {
        PrivateHelper_CreatePin(nodeId, pinId, dataType, true);
    }
    const GUID& subgraph =
        executionSubgraph == GetNullGUID() ? fields->defaultExecutionSubgraphID : executionSubgraph;
    fields->AddSubgraphEntry(nodeId, subgraph);
}

void Graph::PrivateHelper_CheckPinIdsAreFree(const Schema& inputSchema,
                                             const Schema& outputSchema) const {
    for (const auto& entry : inputSchema) {
        CheckThat(!HasPin(entry.first), "Requested pin id is already being used by another pin.");
    }
    for (const auto& entry : outputSchema) {
        CheckThat(!HasPin(entry.first) && inputSchema.count(entry.first) == 0,
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
    Fields::NodeRecord* node = fields->FindNode(nodeId);
    CheckThat(node != nullptr, "Node does not exist");
    CheckThat(!HasPin(pinId), "Requested pin id is already being used by another pin.");

    auto pin = std::make_shared<Pin>(dataType, pinId);
    Fields::PinRecord& record = fields->pins[pinId];
    record.pin = std::move(pin);
    record.owner = node;
    record.isOutput = outputPin;
    (outputPin ? node->outputPins : node->inputPins).push_back(&record);
    ++fields->structureVersion;
}

void Graph::DestroyInputPin(const GUID& nodeId, const GUID& pinId) {
    PrivateHelper_DestroyPin(nodeId, pinId, false);
}

void Graph::DestroyOutputPin(const GUID& nodeId, const GUID& pinId) {
    PrivateHelper_DestroyPin(nodeId, pinId, true);
}

void Graph::PrivateHelper_DestroyPin(const GUID& nodeId, GUID pinId, bool outputPin) {
    Fields::NodeRecord* node = fields->FindNode(nodeId);
    CheckThat(node != nullptr, "The node must exist for us to destroy its pin.");
    Fields::PinRecord* pin = fields->FindPin(pinId);
    GraphAssert(pin != nullptr && pin->isOutput == outputPin);
    GraphAssert(pin->owner == node);

    std::vector<Fields::PinRecord*>& sidePins = outputPin ? node->outputPins : node->inputPins;
    sidePins.erase(std::find(sidePins.begin(), sidePins.end(), pin));
    const std::shared_ptr<Pin> doomed = fields->ReleasePin(*pin);
}

void Graph::DestroyNode(const GUID& nodeIdArgument) {
    const GUID nodeId = nodeIdArgument; // the argument may refer into a table that changes below
    Fields::NodeRecord* node = fields->FindNode(nodeId);
    if (node == nullptr) {
        auto absent = fields->subgraphEntriesOfAbsentNodes.find(nodeId);
        if (absent != fields->subgraphEntriesOfAbsentNodes.end()) {
            for (auto entry : absent->second) {
                fields->executionSubgraphToNodes.erase(entry);
            }
            fields->subgraphEntriesOfAbsentNodes.erase(absent);
            ++fields->structureVersion;
        }
        return;
    }

    // Host objects die only once the records agree again, pins' values before the function.
    const std::shared_ptr<Node> doomedNode = std::move(node->node);
    std::vector<std::shared_ptr<Pin>> doomedPins;
    doomedPins.reserve(node->inputPins.size() + node->outputPins.size());
    for (Fields::PinRecord* pin : node->inputPins) {
        doomedPins.push_back(fields->ReleasePin(*pin));
    }
    for (Fields::PinRecord* pin : node->outputPins) {
        doomedPins.push_back(fields->ReleasePin(*pin));
    }
    for (auto entry : node->subgraphEntries) {
        fields->executionSubgraphToNodes.erase(entry);
    }
    fields->nodes.erase(nodeId);
    ++fields->structureVersion;
}

void Graph::SetDirty(const GUID& nodeId, bool dirty) {
    GetNode(nodeId).SetDirty(dirty);
}

} // namespace datagraph
