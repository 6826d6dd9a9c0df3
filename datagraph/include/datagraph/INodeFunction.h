#pragma once

// The computation of one node, implemented by the host. It declares its input and output pins
// (identifier and exact value type) and maps input values to output values. A function may be
// shared by several nodes; the graph calls it only on the thread that called into the graph.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <unordered_map>

namespace datagraph {

using Schema =
    std::unordered_map<GUID, const std::type_info&, boost::hash<GUID>, std::equal_to<GUID>>;

/// @brief The computation of one node, implemented by the host.
///
/// It declares its input and output pins (identifier and exact value type) and maps input values
/// to output values. A function may be shared by several nodes; the graph calls it only on the
/// thread that called into the graph.
class DATAGRAPH_API INodeFunction {
public:
    virtual ~INodeFunction();
    INodeFunction() = default;
    INodeFunction(const INodeFunction&) = default;
    INodeFunction& operator=(const INodeFunction&) = default;

    /// A new, independent function with the same GetId(); never empty.
    virtual std::shared_ptr<INodeFunction> Clone() const = 0;
    /// Inputs hold one non-empty value per input pin that has one. Outputs must name output pins
    /// of the node and carry values of exactly the declared type; a pin left out keeps its value.
    virtual DataMap Execute(const DataMap& inputs) = 0;
    virtual std::string GetName() const = 0;
    virtual std::string GetDescription() const = 0;
    /// The identifier of the node that wraps this function; must not change while in a graph.
    virtual GUID GetId() const = 0;
    virtual std::string GetInputOrOutputName(const GUID& pinId) const = 0;
    virtual std::string GetInputOrOutputDescription(const GUID& pinId) const = 0;
    virtual Schema GetInputSchema() const = 0;
    virtual Schema GetOutputSchema() const = 0;
    virtual std::string GetClassIdentifier() const = 0;
};

} // namespace datagraph
