#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"

namespace datagraph {

std::shared_ptr<const IDataValue> Graph::GetDataFromPin(const GUID& pinId) const {
    return GetConstPin(pinId).GetData();
}

void Graph::PutDataOnPin(const GUID& pinId, std::shared_ptr<const IDataValue> data) {
    GetPin(pinId).SetData(std::move(data));
}

DataMap Graph::PrivateHelper_GatherInputs(const GUID& nodeId) const {
    const Fields::NodeRecord* node = fields->FindNode(nodeId);
    return node != nullptr ? Fields::GatherInputs(*node) : DataMap();
}

// One entry at a time: a refused entry leaves the entries before it applied.
void Graph::PrivateHelper_WriteOutputs(const GUID& nodeId, const DataMap& outputs) {
    const Fields::NodeRecord* node = fields->FindNode(nodeId);
    for (const auto& [pinId, value] : outputs) {
        Fields::PinRecord* pin = fields->FindPin(pinId);
        CheckThat(node != nullptr && pin != nullptr && pin->owner == node && pin->isOutput,
                  "Could not find the indicated output pin.");
        pin->pin.SetData(value);
    }
}

} // namespace datagraph
