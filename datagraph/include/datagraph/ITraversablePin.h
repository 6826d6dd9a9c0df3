#pragma once

// A pin as a traverser sees it: its value plus the updated-data mark that gates execution.

#include <datagraph/IEditablePin.h>

namespace datagraph {

/// @brief A pin as a traverser sees it: its value plus the updated-data mark that gates
/// execution.
///
/// Used by one thread at a time.
class DATAGRAPH_API ITraversablePin : public IEditablePin {
public:
    ~ITraversablePin() override;
    ITraversablePin() = default;
    ITraversablePin(const ITraversablePin&) = default;
    ITraversablePin& operator=(const ITraversablePin&) = default;

    virtual bool HasUpdatedData() const = 0;
    /// Only the host clears the mark; every successful write sets it.
    virtual void SetUpdatedData(bool updatedData) = 0;
};

} // namespace datagraph
