#pragma once

// Typed values without a class of the host's own: Value<T> carries one copyable T on a pin,
// MakeValue wraps a T, and ValueOf reads the T back with a check of the value's type; two calls
// read and write a typed value on a graph's pin. A value is immutable once made, so it may sit on
// many pins at once. A refused read or write changes nothing.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>
#include <datagraph/IEditableGraph.h>

#include <boost/core/demangle.hpp>

#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace datagraph {

/// @brief A pin value holding one `T`.
///
/// `T` must be copyable: Clone() copies it when a graph is copied. The run-time type a schema
/// declares for a pin of this value is `typeid(Value<T>)`, so two pins of `Value<int>` link and
/// a `Value<int>` never lands on a pin of `Value<long>`.
template <typename T> class Value final : public IDataValue {
    static_assert(std::is_copy_constructible<T>::value, "Value<T> needs a copyable T");
    static_assert(!std::is_reference<T>::value && !std::is_const<T>::value,
                  "Value<T> holds a plain, non-const T");

public:
    explicit Value(T value)
        : value(std::move(value)) {}

    const T& Get() const { return value; }

    std::unique_ptr<IDataValue> Clone() const override { return std::make_unique<Value>(value); }

    const std::type_info& GetType() const override { return typeid(Value<T>); }

private:
    T value;
};

/// @brief Wraps `value` as a shared, immutable pin value, ready for PutDataOnPin or a DataMap.
template <typename T> std::shared_ptr<const Value<std::decay_t<T>>> MakeValue(T&& value) {
    return std::make_shared<const Value<std::decay_t<T>>>(std::forward<T>(value));
}

/// @brief The `T` inside `value`.
///
/// Raises GraphException naming the expected and the actual type when `value` is empty or is
/// not a `Value<T>`. The reference lives as long as the value object does.
template <typename T> const T& ValueOf(const std::shared_ptr<const IDataValue>& value) {
    if (value == nullptr || value->GetType() != typeid(Value<T>)) {
        const std::string expected = boost::core::demangle(typeid(Value<T>).name());
        GraphAssert(value != nullptr,
                    "Expected a value of type " + expected + " but found no value.");
        GraphAssert(false, "Expected a value of type " + expected + " but found one of type " +
                               boost::core::demangle(value->GetType().name()) + ".");
    }
    return static_cast<const Value<T>&>(*value).Get();
}

/// @brief The `T` on the pin `pinId` of `graph`, in one call.
///
/// An unknown pin raises std::out_of_range as GetDataFromPin does; an empty pin or one holding
/// another type raises GraphException as ValueOf does.
template <typename T> const T& GetValueFromPin(const IEditableGraph& graph, const GUID& pinId) {
    return ValueOf<T>(graph.GetDataFromPin(pinId));
}

/// @brief Puts `value`, wrapped by MakeValue, on the pin `pinId` of `graph` and marks the pin.
///
/// Fails as PutDataOnPin does, and then leaves the pin unchanged.
template <typename T> void PutValueOnPin(IEditableGraph& graph, const GUID& pinId, T&& value) {
    graph.PutDataOnPin(pinId, MakeValue(std::forward<T>(value)));
}

} // namespace datagraph
