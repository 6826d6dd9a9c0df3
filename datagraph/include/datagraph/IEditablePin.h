#pragma once

// The value side of a pin: read its value and write a new one under the pin's type check.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>

#include <memory>

namespace datagraph {

/// @brief The value side of a pin.
///
/// Read its value and write a new one under the pin's type check; a refused write leaves the pin
/// as it was.
class DATAGRAPH_API IEditablePin {
public:
    virtual ~IEditablePin();
    IEditablePin() = default;
    IEditablePin(const IEditablePin&) = default;
    IEditablePin& operator=(const IEditablePin&) = default;

    /// Empty while the pin has never received a value.
    virtual std::shared_ptr<const IDataValue> GetData() const = 0;
    /// Refuses (GraphException, pin unchanged) an empty value or one not exactly of the pin's type.
    virtual void SetData(std::shared_ptr<const IDataValue> data) = 0;
};

} // namespace datagraph
