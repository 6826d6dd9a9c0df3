#include <datagraph/Graph.h>

namespace datagraph {

std::shared_ptr<const IDataValue> Graph::GetDataFromPin(const GUID& pinId) const {
    return GetConstPin(pinId).GetData();
}

void Graph::PutDataOnPin(const GUID& pinId, std::shared_ptr<const IDataValue> data) {
    GetPin(pinId).SetData(std::move(data));
}

} // namespace datagraph
