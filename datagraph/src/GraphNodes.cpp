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
    auto node = std::make_shared<Node>(*this, std::move(function));

    // Each pin's insertion doubles as the check that its id is free; a clash takes back everything
    // inserted before it, so a refused node leaves the graph exactly as it was. The node's pins
    // live in one block with its record.
    Fields::NodeRecord& record =
        fields->AddNodeRecord(nodeId, inputSchema.size() + outputSchema.size());
    record.node = std::move(node);
    record.inputPins.reserve(inputSchema.size());
    record.outputPins.reserve(outputSchema.size());
    bool pinIdsAreFree = true;
    std::size_t k = 0;
    for (const auto& [pinId, dataType] : inputSchema) {
        pinIdsAreFree = pinIdsAreFree && fields->TryAddPin(record, pinId, dataType, false,
                                                           Fields::PinRoom(record, k++));
    }
    for (const auto& [pinId, dataType] : outputSchema) {
        pinIdsAreFree = pinIdsAreFree && fields->TryAddPin(record, pinId, dataType, true,
                                                           Fields::PinRoom(record, k++));
    }
    if (!pinIdsAreFree) {
        fields->RemoveUnlinkedNode(record);
        GraphAssert(false, "Requested pin id is already being used by another pin.");
    }

    auto absent = fields->subgraphEntriesOfAbsentNodes.find(nodeId);
    if (absent != fields->subgraphEntriesOfAbsentNodes.end()) {
        record.moreEntries = std::move(absent->second);
        fields->subgraphEntriesOfAbsentNodes.erase(absent);
        for (const auto& entry : record.moreEntries) {
            entry->node = &record;
        }
    }
    const GUID& subgraph =
        executionSubgraph == GetNullGUID() ? fields->defaultExecutionSubgraphID : executionSubgraph;
    fields->AddSubgraphEntry(nodeId, &record, subgraph);
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
    CheckThat(fields->TryAddPin(*node, pinId, dataType, outputPin),
              "Requested pin id is already being used by another pin.");
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

    Fields::PinList& sidePins = outputPin ? node->outputPins : node->inputPins;
    sidePins.erase(std::find(sidePins.begin(), sidePins.end(), pin));
    const std::shared_ptr<const IDataValue> doomedValue = fields->ReleasePin(*pin);
}

void Graph::DestroyNode(const GUID& nodeIdArgument) {
    const GUID nodeId = nodeIdArgument; // the argument may refer into a table that changes below
    Fields::NodeRecord* node = fields->FindNode(nodeId);
    if (node == nullptr) {
        auto absent = fields->subgraphEntriesOfAbsentNodes.find(nodeId);
        if (absent != fields->subgraphEntriesOfAbsentNodes.end()) {
            for (const auto& entry : absent->second) {
                fields->UnlinkSubgraphEntry(*entry);
            }
            fields->subgraphEntriesOfAbsentNodes.erase(absent);
            ++fields->structureVersion;
        }
        return;
    }

    // Host objects die only once the records agree again, pins' values before the function.
    const std::shared_ptr<Node> doomedNode = std::move(node->node);
    boost::container::small_vector<std::shared_ptr<const IDataValue>, 4> doomedValues;
    for (Fields::PinRecord* pin : node->inputPins) {
        doomedValues.push_back(fields->ReleasePin(*pin));
    }
    for (Fields::PinRecord* pin : node->outputPins) {
        doomedValues.push_back(fields->ReleasePin(*pin));
    }
    fields->UnlinkSubgraphEntries(*node);
    fields->EraseNodeRecord(*node);
    ++fields->structureVersion;
}

void Graph::SetDirty(const GUID& nodeId, bool dirty) {
    GetNode(nodeId).SetDirty(dirty);
}

} // namespace datagraph
