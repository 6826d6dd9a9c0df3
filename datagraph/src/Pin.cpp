#include <datagraph/Pin.h>

#include "Checks.h"

#include <utility>

namespace datagraph {

Pin::Pin(const std::type_info& dataType, const GUID& id)
    : dataType(dataType)
    , updatedData(false)
    , id(id) {}

Pin::Pin(const Pin& other)
    : ITraversablePin(other)
    , dataType(other.dataType)
    , updatedData(other.updatedData)
    , id(other.id) {
    if (std::shared_ptr<const IDataValue> value = other.GetData()) {
        data = value->Clone();
    }
}

Pin::~Pin() = default;

GUID Pin::GetId() const {
    return id;
}

const std::type_info& Pin::GetDataType() const {
    return dataType;
}

std::shared_ptr<const IDataValue> Pin::GetData() const {
    return data;
}

void Pin::SetData(std::shared_ptr<const IDataValue> value) {
    CheckThat(value != nullptr, "Data value cannot be null");
    CheckThat(value->GetType() == dataType, "Data value has incorrect type");

    data = std::move(value);
    updatedData = true;
}

bool Pin::HasUpdatedData() const {
    return updatedData;
}

void Pin::SetUpdatedData(bool updated) {
    updatedData = updated;
}

} // namespace datagraph
