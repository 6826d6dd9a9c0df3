#pragma once

// Node functions made from a callable: MakeFunctionNode reads the pins' types off the callable's
// parameters and result, names each pin and derives its id from the node's id and the pin's name.
// A function node is used by one thread at a time; a refused MakeFunctionNode makes nothing.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/Value.h>

#include <boost/uuid/name_generator_sha1.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace datagraph {

/// @brief Stands for an empty list of pin names, so that `{}` may be passed for no inputs or no
/// outputs.
struct NoPinNames {};

namespace function_node_detail {

template <typename T> struct IsOptional : std::false_type {};

template <typename T> struct IsOptional<std::optional<T>> : std::true_type {};

template <typename T> struct IsSharedValue : std::false_type {};

template <typename V> struct IsSharedValue<std::shared_ptr<V>> : std::is_base_of<IDataValue, V> {};

template <typename T> struct IsTuple : std::false_type {};

template <typename... T> struct IsTuple<std::tuple<T...>> : std::true_type {};

// What one parameter of the callable reads: the pin's value class and whether it may be empty.
template <typename Parameter> struct InputPin {
    static_assert(!std::is_lvalue_reference<Parameter>::value ||
                      std::is_const<std::remove_reference_t<Parameter>>::value,
                  "a node function's parameter is taken by value or by const reference");
    using Decayed = std::decay_t<Parameter>;
    static constexpr bool optional = IsOptional<Decayed>::value;

    template <typename T> struct Held { using type = T; };

    template <typename T> struct Held<std::optional<T>> { using type = T; };

    using Plain = typename Held<Decayed>::type;
    static constexpr bool hostValue = std::is_base_of<IDataValue, Plain>::value;
    using Stored = std::conditional_t<hostValue, Plain, Value<Plain>>;
};

// What one result writes: the pin's value class and whether it may be left unwritten.
template <typename Result> struct OutputPin {
    static constexpr bool optional = IsOptional<Result>::value;

    template <typename T> struct Held { using type = T; };

    template <typename T> struct Held<std::optional<T>> { using type = T; };

    using Plain = typename Held<Result>::type;
    static constexpr bool hostValue = IsSharedValue<Plain>::value;

    template <typename T, bool> struct Class { using type = Value<T>; };

    template <typename T> struct Class<T, true> {
        using type = std::remove_const_t<typename T::element_type>;
    };

    using Stored = typename Class<Plain, hostValue>::type;
};

template <typename Result> struct Results { using type = std::tuple<Result>; };

template <typename... R> struct Results<std::tuple<R...>> { using type = std::tuple<R...>; };

template <> struct Results<void> { using type = std::tuple<>; };

template <typename Signature> struct Signature_;

template <typename R, typename... P> struct Signature_<R(P...)> {
    using Result = R;
    using Parameters = std::tuple<P...>;
    using Outputs = typename Results<R>::type;
};

template <typename F, typename = void> struct CallableSignature {
    static_assert(sizeof(F) == 0, "MakeFunctionNode needs a callable with one fixed signature "
                                  "(a generic lambda or an overloaded call operator has none)");
};

template <typename R, typename... P> struct CallableSignature<R (*)(P...)> : Signature_<R(P...)> {};

template <typename R, typename... P> struct CallableSignature<R(P...)> : Signature_<R(P...)> {};

template <typename C, typename R, typename... P>
struct CallableSignature<R (C::*)(P...) const> : Signature_<R(P...)> {};

template <typename C, typename R, typename... P>
struct CallableSignature<R (C::*)(P...)> : Signature_<R(P...)> {};

template <typename F>
struct CallableSignature<F, std::void_t<decltype(&F::operator())>>
    : CallableSignature<decltype(&F::operator())> {};

} // namespace function_node_detail

/// @brief A node function that calls a host callable; made by MakeFunctionNode.
///
/// Each parameter of the callable is an input pin and each result an output pin, in the order of
/// the names given. The pin named `n` has the id `boost::uuids::name_generator_sha1(GetId())(n)`,
/// so a host that knows the node's id finds its pins by name. Clone() copies the callable and
/// keeps every id. Pin descriptions are empty; the class identifier is "datagraph::FunctionNode".
template <typename Callable> class FunctionNode final : public INodeFunction {
    using Signature = function_node_detail::CallableSignature<Callable>;
    using Parameters = typename Signature::Parameters;
    using Outputs = typename Signature::Outputs;

public:
    static constexpr std::size_t inputCount = std::tuple_size<Parameters>::value;
    static constexpr std::size_t outputCount = std::tuple_size<Outputs>::value;

    FunctionNode(std::string name, std::vector<std::string> inputNames,
                 std::vector<std::string> outputNames, Callable callable, const GUID& id,
                 std::string description)
        : callable(std::move(callable))
        , name(std::move(name))
        , description(std::move(description))
        , id(id)
        , inputNames(std::move(inputNames))
        , outputNames(std::move(outputNames)) {
        PrivateHelper_CheckNames();

        boost::uuids::name_generator_sha1 pinIdOf(id);
        for (const std::string& pinName : this->inputNames)
            inputIds.push_back(pinIdOf(pinName));
        for (const std::string& pinName : this->outputNames)
            outputIds.push_back(pinIdOf(pinName));
    }

    /// The id of the input pin named `pinName`; raises GraphException for any other name.
    GUID Input(const std::string& pinName) const {
        return PrivateHelper_Find(inputNames, inputIds, pinName, "input");
    }

    /// The id of the output pin named `pinName`; raises GraphException for any other name.
    GUID Output(const std::string& pinName) const {
        return PrivateHelper_Find(outputNames, outputIds, pinName, "output");
    }

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<FunctionNode>(*this);
    }

    /// Raises GraphException naming the node and the input when a required input has no value
    /// or one of another type; an exception of the callable passes through as it was thrown.
    DataMap Execute(const DataMap& inputs) override {
        return PrivateHelper_Execute(inputs, std::make_index_sequence<inputCount>());
    }

    std::string GetName() const override { return name; }

    std::string GetDescription() const override { return description; }

    GUID GetId() const override { return id; }

    /// The name of the pin `pinId`, or an empty text for a pin of another node.
    std::string GetInputOrOutputName(const GUID& pinId) const override {
        for (std::size_t i = 0; i < inputIds.size(); ++i)
            if (inputIds[i] == pinId)
                return inputNames[i];
        for (std::size_t i = 0; i < outputIds.size(); ++i)
            if (outputIds[i] == pinId)
                return outputNames[i];
        return {};
    }

    std::string GetInputOrOutputDescription(const GUID&) const override { return {}; }

    Schema GetInputSchema() const override {
        return PrivateHelper_InputSchema(std::make_index_sequence<inputCount>());
    }

    Schema GetOutputSchema() const override {
        return PrivateHelper_OutputSchema(std::make_index_sequence<outputCount>());
    }

    std::string GetClassIdentifier() const override { return "datagraph::FunctionNode"; }

private:
    void PrivateHelper_CheckNames() const {
        GraphAssert(inputNames.size() == inputCount,
                    "The node \"" + name + "\" names " + std::to_string(inputNames.size()) +
                        " inputs but its function takes " + std::to_string(inputCount) + ".");
        GraphAssert(outputNames.size() == outputCount,
                    "The node \"" + name + "\" names " + std::to_string(outputNames.size()) +
                        " outputs but its function gives " + std::to_string(outputCount) + ".");
        std::vector<std::string> all(inputNames);
        all.insert(all.end(), outputNames.begin(), outputNames.end());
        for (std::size_t i = 0; i < all.size(); ++i)
            for (std::size_t j = i + 1; j < all.size(); ++j)
                GraphAssert(all[i] != all[j], "The node \"" + name + "\" uses the pin name \"" +
                                                  all[i] + "\" more than once.");
    }

    GUID PrivateHelper_Find(const std::vector<std::string>& names, const IdentifierList& ids,
                            const std::string& pinName, const char* side) const {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == pinName)
                return ids[i];
        GraphAssert(false,
                    "The node \"" + name + "\" has no " + side + " named \"" + pinName + "\".");
        return {};
    }

    template <std::size_t... I> Schema PrivateHelper_InputSchema(std::index_sequence<I...>) const {
        Schema schema;
        (schema.emplace(inputIds[I], typeid(typename function_node_detail::InputPin<
                                            std::tuple_element_t<I, Parameters>>::Stored)),
         ...);
        return schema;
    }

    template <std::size_t... I> Schema PrivateHelper_OutputSchema(std::index_sequence<I...>) const {
        Schema schema;
        (schema.emplace(outputIds[I], typeid(typename function_node_detail::OutputPin<
                                             std::tuple_element_t<I, Outputs>>::Stored)),
         ...);
        return schema;
    }

    // The argument for input I: a reference to the value held on the pin, or an optional copy.
    template <std::size_t I> decltype(auto) PrivateHelper_Argument(const DataMap& inputs) const {
        using Pin = function_node_detail::InputPin<std::tuple_element_t<I, Parameters>>;
        const auto found = inputs.find(inputIds[I]);
        const IDataValue* value = found == inputs.end() ? nullptr : found->second.get();
        if constexpr (Pin::optional) {
            if (value == nullptr)
                return std::optional<typename Pin::Plain>();
            return std::optional<typename Pin::Plain>(PrivateHelper_Typed<Pin, I>(*value));
        } else {
            // The message is built only on failure: Execute runs once per node and traversal.
            if (value == nullptr)
                GraphAssert(false, "The node \"" + name + "\" has no value on its input \"" +
                                       inputNames[I] + "\".");
            return PrivateHelper_Typed<Pin, I>(*value);
        }
    }

    template <typename Pin, std::size_t I>
    const typename Pin::Plain& PrivateHelper_Typed(const IDataValue& value) const {
        const auto* typed = dynamic_cast<const typename Pin::Stored*>(&value);
        if (typed == nullptr)
            GraphAssert(false, "The node \"" + name +
                                   "\" has a value of another type on its input \"" +
                                   inputNames[I] + "\".");
        if constexpr (Pin::hostValue)
            return *typed;
        else
            return typed->Get();
    }

    template <std::size_t... I>
    DataMap PrivateHelper_Execute(const DataMap& inputs, std::index_sequence<I...>) {
        // Braced initialisation reads the inputs in order, so the first missing one is named.
        using Arguments = std::tuple<decltype(PrivateHelper_Argument<I>(inputs))...>;
        Arguments arguments{PrivateHelper_Argument<I>(inputs)...};
        DataMap outputs;
        if constexpr (outputCount == 0) {
            std::apply(callable, std::move(arguments));
        } else if constexpr (function_node_detail::IsTuple<typename Signature::Result>::value) {
            PrivateHelper_Write(outputs, std::apply(callable, std::move(arguments)),
                                std::make_index_sequence<outputCount>());
        } else {
            PrivateHelper_WriteOne<0>(outputs, std::apply(callable, std::move(arguments)));
        }
        return outputs;
    }

    template <typename Tuple, std::size_t... I>
    void PrivateHelper_Write(DataMap& outputs, Tuple&& results, std::index_sequence<I...>) const {
        (PrivateHelper_WriteOne<I>(outputs, std::get<I>(std::forward<Tuple>(results))), ...);
    }

    template <std::size_t I, typename Result>
    void PrivateHelper_WriteOne(DataMap& outputs, Result&& result) const {
        using Pin = function_node_detail::OutputPin<std::decay_t<Result>>;
        if constexpr (Pin::optional) {
            if (result)
                PrivateHelper_Store<Pin, I>(outputs, std::move(*result));
        } else {
            PrivateHelper_Store<Pin, I>(outputs, std::forward<Result>(result));
        }
    }

    template <typename Pin, std::size_t I, typename Plain>
    void PrivateHelper_Store(DataMap& outputs, Plain&& result) const {
        if constexpr (Pin::hostValue) {
            if (result == nullptr)
                GraphAssert(false, "The node \"" + name + "\" gave no value for its output \"" +
                                       outputNames[I] + "\".");
            outputs.emplace(outputIds[I], std::forward<Plain>(result));
        } else {
            outputs.emplace(outputIds[I], MakeValue(std::forward<Plain>(result)));
        }
    }

    Callable callable;
    std::string name;
    std::string description;
    GUID id;
    std::vector<std::string> inputNames;
    std::vector<std::string> outputNames;
    IdentifierList inputIds;
    IdentifierList outputIds;
};

namespace function_node_detail {

template <typename Callable, std::size_t Inputs, std::size_t Outputs>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
Make(std::string name, std::vector<std::string> inputs, std::vector<std::string> outputs,
     Callable&& callable, const GUID& id, std::string description) {
    using Node = FunctionNode<std::decay_t<Callable>>;
    static_assert(Inputs == Node::inputCount,
                  "MakeFunctionNode: the count of input names differs from the count of the "
                  "callable's parameters");
    static_assert(Outputs == Node::outputCount,
                  "MakeFunctionNode: the count of output names differs from the count of the "
                  "callable's results");
    return std::make_shared<Node>(std::move(name), std::move(inputs), std::move(outputs),
                                  std::forward<Callable>(callable), id, std::move(description));
}

template <std::size_t N> std::vector<std::string> Names(const std::string (&names)[N]) {
    return std::vector<std::string>(names, names + N);
}

} // namespace function_node_detail

/// @brief A node function named `name` that calls `callable`.
///
/// The callable's parameters are the inputs, named in order by `inputs`: a plain `T` (by value
/// or const reference) reads a Value<T>, a `const V&` of a host value class V reads a V, and a
/// `std::optional` of either may find no value. Its result is the outputs, named by `outputs`:
/// a `T` (written as a Value<T>), a `std::shared_ptr<const V>`, a `std::tuple` of them, or
/// `void`; an empty `std::optional` leaves its output unwritten. The counts of names are checked
/// at compile time. A name used twice among inputs and outputs raises GraphException.
template <typename Callable, std::size_t Inputs, std::size_t Outputs>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, const std::string (&inputs)[Inputs],
                 const std::string (&outputs)[Outputs], Callable&& callable,
                 const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, Inputs, Outputs>(
        std::move(name), function_node_detail::Names(inputs), function_node_detail::Names(outputs),
        std::forward<Callable>(callable), id, std::move(description));
}

/// @brief MakeFunctionNode for a node without inputs.
template <typename Callable, std::size_t Outputs>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, NoPinNames, const std::string (&outputs)[Outputs],
                 Callable&& callable, const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, 0, Outputs>(
        std::move(name), {}, function_node_detail::Names(outputs), std::forward<Callable>(callable),
        id, std::move(description));
}

/// @brief MakeFunctionNode for a node without outputs.
template <typename Callable, std::size_t Inputs>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, const std::string (&inputs)[Inputs], NoPinNames,
                 Callable&& callable, const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, Inputs, 0>(
        std::move(name), function_node_detail::Names(inputs), {}, std::forward<Callable>(callable),
        id, std::move(description));
}

/// @brief MakeFunctionNode for a node with neither inputs nor outputs.
template <typename Callable>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, NoPinNames, NoPinNames, Callable&& callable,
                 const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, 0, 0>(
        std::move(name), {}, {}, std::forward<Callable>(callable), id, std::move(description));
}

/// @brief An input cell: a node with one output "value" of Value<T> that writes nothing.
///
/// Put a value on its output pin with PutValueOnPin; a traversal runs the cell, which leaves the
/// value as it is, and hands it to every input linked downstream. Change the value and traverse
/// again to recompute.
template <typename T> auto MakeInputCell(std::string name, const GUID& id = CreateGUID()) {
    return MakeFunctionNode(
        std::move(name), {}, {"value"}, []() { return std::optional<T>(); }, id);
}

} // namespace datagraph
