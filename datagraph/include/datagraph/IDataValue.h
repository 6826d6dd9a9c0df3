#pragma once

// A value carried on a pin, implemented by the host. Values are immutable once handed to a graph,
// so one value object may sit on many pins at once; the graph only asks for its type and clones.

#include <datagraph/Foundation.h>

#include <memory>
#include <typeinfo>
#include <unordered_map>

namespace datagraph {

/// @brief A value carried on a pin, implemented by the host.
///
/// Values are immutable once handed to a graph, so one value object may sit on many pins at once;
/// the graph only asks for its type and clones.
class DATAGRAPH_API IDataValue {
public:
    virtual ~IDataValue();
    IDataValue() = default;
    IDataValue(const IDataValue&) = default;
    IDataValue& operator=(const IDataValue&) = default;

    /// A new, independent value of the same run-time type; called when a graph is copied.
    virtual std::unique_ptr<IDataValue> Clone() const = 0;
    /// The value's run-time type; a pin accepts only exactly its declared type.
    virtual const std::type_info& GetType() const = 0;
};

using DataMap = std::unordered_map<GUID, std::shared_ptr<const IDataValue>, boost::hash<GUID>,
                                   std::equal_to<GUID>>;

} // namespace datagraph
