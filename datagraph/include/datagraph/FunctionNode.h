#pragma once

// Node functions made from a callable: MakeFunctionNode reads the pins' types off the callable's
// parameters and result, names each pin and derives its id from the node's id and the pin's name;
// a last parameter of InputList<T> takes any count of inputs of one type.
// A function node is used by one thread at a time; a refused MakeFunctionNode makes nothing.

#include <datagraph/Foundation.h>
#include <datagraph/IDataValue.h>
#include <datagraph/INodeFunction.h>
#include <datagraph/InputList.h>
#include <datagraph/Value.h>

#include <boost/container/small_vector.hpp>
#include <boost/uuid/name_generator_sha1.hpp>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

template <typename T> struct IsInputList : std::false_type {};

template <typename T> struct IsInputList<InputList<T>> : std::true_type {};

// Whether the callable's last parameter is an InputList, and which element type it reads.
template <typename Parameters> struct ListOf {
    static constexpr bool present = false;
    using Element = void;
};

template <typename... P> struct ListOf<std::tuple<P...>> {
    using Last = std::decay_t<std::tuple_element_t<sizeof...(P) - 1, std::tuple<P...>>>;
    static constexpr bool present = IsInputList<Last>::value;

    template <typename L> struct ElementOf { using type = void; };

    template <typename T> struct ElementOf<InputList<T>> { using type = T; };

    using Element = typename ElementOf<Last>::type;
};

template <> struct ListOf<std::tuple<>> {
    static constexpr bool present = false;
    using Element = void;
};

template <typename Parameters, std::size_t... I>
constexpr bool ListOnlyLast(std::index_sequence<I...>) {
    return ((!IsInputList<std::decay_t<std::tuple_element_t<I, Parameters>>>::value) && ...);
}

template <typename Callable> constexpr bool TakesInputList() {
    using Parameters = typename CallableSignature<std::decay_t<Callable>>::Parameters;
    return ListOf<Parameters>::present;
}

[[noreturn]] inline void Refuse(const std::string& message) {
    throw GraphException(message);
}

template <typename S, typename = void> struct DowncastsStatically : std::false_type {};

template <typename S>
struct DowncastsStatically<
    S, std::void_t<decltype(static_cast<const S*>(std::declval<const IDataValue*>()))>>
    : std::true_type {};

// The value as its pin's class, or null for one of another class. A value of exactly that class
// needs no search of the class hierarchy; only a host class that may have subclasses does.
template <typename Stored> const Stored* AsStored(const IDataValue& value) {
    if constexpr (DowncastsStatically<Stored>::value) {
        if (typeid(value) == typeid(Stored))
            return static_cast<const Stored*>(&value);
        if constexpr (std::is_final<Stored>::value)
            return nullptr;
    }
    return dynamic_cast<const Stored*>(&value);
}

// Where each input pin's id stands among a node's inputs. Execute reads the map it is handed
// entry by entry and asks this for each key: a node of few inputs compares the ids one by one,
// a larger one looks them up in an open-addressed table keyed by the ids' first eight bytes.
// The table holds only the node's own ids, each made by SHA-1 from the node's id and a name, so
// its probes stay short whatever keys a caller passes; an unknown key ends at an empty slot.
class PinPositions {
public:
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    void Build(const GUID* ids, std::size_t count) {
        table.clear();
        if (count <= scanLimit)
            return;
        std::size_t size = 1;
        while (size < 2 * count)
            size *= 2;
        table.assign(size, empty);
        for (std::size_t position = 0; position < count; ++position) {
            std::size_t slot = Slot(ids[position]);
            while (table[slot] != empty)
                slot = (slot + 1) & (table.size() - 1);
            table[slot] = static_cast<std::uint32_t>(position);
        }
    }

    std::size_t Find(const GUID* ids, std::size_t count, const GUID& key) const {
        if (count <= scanLimit) {
            for (std::size_t position = 0; position < count; ++position)
                if (ids[position] == key)
                    return position;
            return none;
        }
        for (std::size_t slot = Slot(key);; slot = (slot + 1) & (table.size() - 1)) {
            const std::uint32_t position = table[slot];
            if (position == empty)
                return none;
            if (ids[position] == key)
                return position;
        }
    }

private:
    static constexpr std::size_t scanLimit = 8;
    static constexpr std::uint32_t empty = static_cast<std::uint32_t>(-1);

    std::size_t Slot(const GUID& id) const {
        std::uint64_t word;
        std::memcpy(&word, id.data, sizeof word);
        const std::uint64_t mixed = word * 0x9e3779b97f4a7c15ULL;
        return static_cast<std::size_t>(mixed >> 32) & (table.size() - 1);
    }

    std::vector<std::uint32_t> table;
};

} // namespace function_node_detail

/// @brief A node function that calls a host callable; made by MakeFunctionNode.
///
/// Each parameter of the callable is an input pin and each result an output pin, in the order of
/// the names given; a last parameter of InputList<T> takes every input named after the fixed
/// ones. The pin named `n` has the id `boost::uuids::name_generator_sha1(GetId())(n)`, so a host
/// that knows the node's id finds its pins by name. Clone() copies the callable and keeps every
/// id. Pin descriptions are empty; the class identifier is "datagraph::FunctionNode".
template <typename Callable> class FunctionNode final : public INodeFunction {
    using Signature = function_node_detail::CallableSignature<Callable>;
    using Parameters = typename Signature::Parameters;
    using Outputs = typename Signature::Outputs;
    using List = function_node_detail::ListOf<Parameters>;

public:
    /// The count of the callable's parameters (an InputList counts as one) and of its results.
    static constexpr std::size_t inputCount = std::tuple_size<Parameters>::value;
    static constexpr std::size_t outputCount = std::tuple_size<Outputs>::value;
    /// Whether the last parameter is an InputList, which takes any count of inputs.
    static constexpr bool takesList = List::present;

private:
    static constexpr std::size_t fixedCount = takesList ? inputCount - 1 : inputCount;
    static_assert(
        function_node_detail::ListOnlyLast<Parameters>(std::make_index_sequence<fixedCount>()),
        "only the last parameter of a node function may be an InputList");

    // The ids sit in the node function itself when their count is fixed: a run reads them on
    // every execution, and a block of their own would cost a cache miss on a large graph.
    using InputIds = std::conditional_t<takesList, IdentifierList, std::array<GUID, fixedCount>>;
    using Slots =
        std::conditional_t<takesList, boost::container::small_vector<const IDataValue*, 16>,
                           std::array<const IDataValue*, fixedCount>>;

public:
    FunctionNode(std::string name, std::vector<std::string> inputNames,
                 std::vector<std::string> outputNames, Callable callable, const GUID& id,
                 std::string description)
        : callable(std::move(callable))
        , id(id)
        , name(std::move(name))
        , description(std::move(description))
        , inputNames(std::move(inputNames))
        , outputNames(std::move(outputNames)) {
        PrivateHelper_CheckNames();

        boost::uuids::name_generator_sha1 pinIdOf(id);
        if constexpr (takesList)
            inputIds.resize(this->inputNames.size());
        for (std::size_t i = 0; i < inputIds.size(); ++i)
            inputIds[i] = pinIdOf(this->inputNames[i]);
        for (std::size_t i = 0; i < outputCount; ++i)
            outputIds[i] = pinIdOf(this->outputNames[i]);
        positions.Build(inputIds.data(), inputIds.size());
    }

    /// The id of the input pin named `pinName`; raises GraphException for any other name.
    GUID Input(const std::string& pinName) const {
        return PrivateHelper_Find(inputNames, inputIds.data(), pinName, "input");
    }

    /// The id of the output pin named `pinName`; raises GraphException for any other name.
    GUID Output(const std::string& pinName) const {
        return PrivateHelper_Find(outputNames, outputIds.data(), pinName, "output");
    }

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<FunctionNode>(*this);
    }

    /// Raises GraphException naming the node and the input when a required input has no value
    /// or one of another type; an exception of the callable passes through as it was thrown.
    /// Entries of `inputs` for pins of other nodes are ignored.
    DataMap Execute(const DataMap& inputs) override {
        Slots slots{};
        if constexpr (takesList)
            slots.assign(inputIds.size(), nullptr);
        for (const auto& [pinId, value] : inputs) {
            const std::size_t at = positions.Find(inputIds.data(), inputIds.size(), pinId);
            if (at != function_node_detail::PinPositions::none)
                slots[at] = value.get();
        }
        return PrivateHelper_Execute(slots, std::make_index_sequence<fixedCount>());
    }

    std::string GetName() const override { return name; }

    std::string GetDescription() const override { return description; }

    GUID GetId() const override { return id; }

    /// The name of the pin `pinId`, or an empty text for a pin of another node.
    std::string GetInputOrOutputName(const GUID& pinId) const override {
        const std::size_t at = positions.Find(inputIds.data(), inputIds.size(), pinId);
        if (at != function_node_detail::PinPositions::none)
            return inputNames[at];
        for (std::size_t i = 0; i < outputCount; ++i)
            if (outputIds[i] == pinId)
                return outputNames[i];
        return {};
    }

    std::string GetInputOrOutputDescription(const GUID&) const override { return {}; }

    Schema GetInputSchema() const override {
        Schema schema = PrivateHelper_InputSchema(std::make_index_sequence<fixedCount>());
        if constexpr (takesList) {
            for (std::size_t i = fixedCount; i < inputIds.size(); ++i)
                schema.emplace(inputIds[i], typeid(typename ListPin::Stored));
        }
        return schema;
    }

    Schema GetOutputSchema() const override {
        return PrivateHelper_OutputSchema(std::make_index_sequence<outputCount>());
    }

    std::string GetClassIdentifier() const override { return "datagraph::FunctionNode"; }

private:
    template <typename L, bool> struct ListPinOf { using type = void; };

    template <typename L> struct ListPinOf<L, true> {
        using type = function_node_detail::InputPin<const typename L::Element&>;
    };

    using ListPin = typename ListPinOf<List, takesList>::type;

    template <typename Pin> static constexpr bool RequiredList() {
        if constexpr (std::is_void<Pin>::value)
            return true;
        else
            return !Pin::optional;
    }

    static_assert(RequiredList<ListPin>(), "an InputList reads required inputs: no std::optional");

    void PrivateHelper_CheckNames() const {
        if constexpr (takesList) {
            GraphAssert(inputNames.size() >= fixedCount,
                        "The node \"" + name + "\" names " + std::to_string(inputNames.size()) +
                            " inputs but its function takes at least " +
                            std::to_string(fixedCount) + ".");
        } else {
            GraphAssert(inputNames.size() == inputCount,
                        "The node \"" + name + "\" names " + std::to_string(inputNames.size()) +
                            " inputs but its function takes " + std::to_string(inputCount) + ".");
        }
        GraphAssert(outputNames.size() == outputCount,
                    "The node \"" + name + "\" names " + std::to_string(outputNames.size()) +
                        " outputs but its function gives " + std::to_string(outputCount) + ".");
        PrivateHelper_CheckNamesDiffer();
    }

    void PrivateHelper_CheckNamesDiffer() const {
        std::vector<const std::string*> all;
        for (const auto* names : {&inputNames, &outputNames})
            for (const std::string& pinName : *names)
                all.push_back(&pinName);
        // In the order given, so that the first name used again is the one reported.
        std::vector<std::size_t> order(all.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&all](std::size_t a, std::size_t b) { return *all[a] < *all[b]; });
        std::size_t first = all.size();
        for (std::size_t i = 1; i < order.size(); ++i)
            if (*all[order[i]] == *all[order[i - 1]])
                first = std::min(first, order[i - 1]);
        if (first != all.size())
            function_node_detail::Refuse("The node \"" + name + "\" uses the pin name \"" +
                                         *all[first] + "\" more than once.");
    }

    GUID PrivateHelper_Find(const std::vector<std::string>& names, const GUID* ids,
                            const std::string& pinName, const char* side) const {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == pinName)
                return ids[i];
        function_node_detail::Refuse("The node \"" + name + "\" has no " + side + " named \"" +
                                     pinName + "\".");
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
    template <std::size_t I> decltype(auto) PrivateHelper_Argument(const Slots& slots) const {
        using Pin = function_node_detail::InputPin<std::tuple_element_t<I, Parameters>>;
        const IDataValue* value = slots[I];
        if constexpr (Pin::optional) {
            if (value == nullptr)
                return std::optional<typename Pin::Plain>();
            return std::optional<typename Pin::Plain>(PrivateHelper_Typed<Pin>(*value, I));
        } else {
            // The message is built only on failure: Execute runs once per node and traversal.
            if (value == nullptr)
                PrivateHelper_RefuseMissing(I);
            return PrivateHelper_Typed<Pin>(*value, I);
        }
    }

    template <typename Pin>
    const typename Pin::Plain& PrivateHelper_Typed(const IDataValue& value,
                                                   std::size_t input) const {
        const auto* typed = function_node_detail::AsStored<typename Pin::Stored>(value);
        if (typed == nullptr)
            function_node_detail::Refuse("The node \"" + name +
                                         "\" has a value of another type on its input \"" +
                                         inputNames[input] + "\".");
        if constexpr (Pin::hostValue)
            return *typed;
        else
            return typed->Get();
    }

    [[noreturn]] void PrivateHelper_RefuseMissing(std::size_t input) const {
        function_node_detail::Refuse("The node \"" + name + "\" has no value on its input \"" +
                                     inputNames[input] + "\".");
    }

    // The list inputs' values, checked in the order of their names, into `values`.
    template <typename Values>
    InputList<typename List::Element> PrivateHelper_List(const Slots& slots, Values& values) const {
        values.resize(slots.size() - fixedCount);
        for (std::size_t i = fixedCount; i < slots.size(); ++i) {
            if (slots[i] == nullptr)
                PrivateHelper_RefuseMissing(i);
            values[i - fixedCount] = &PrivateHelper_Typed<ListPin>(*slots[i], i);
        }
        return InputList<typename List::Element>(values.data(), values.size());
    }

    template <std::size_t... I>
    DataMap PrivateHelper_Execute(const Slots& slots, std::index_sequence<I...>) {
        // Braced initialisation reads the inputs in order, so the first missing one is named.
        if constexpr (takesList) {
            boost::container::small_vector<const typename ListPin::Plain*, 16> values;
            using Arguments = std::tuple<decltype(PrivateHelper_Argument<I>(slots))...,
                                         InputList<typename List::Element>>;
            return PrivateHelper_Call(
                Arguments{PrivateHelper_Argument<I>(slots)..., PrivateHelper_List(slots, values)});
        } else {
            using Arguments = std::tuple<decltype(PrivateHelper_Argument<I>(slots))...>;
            return PrivateHelper_Call(Arguments{PrivateHelper_Argument<I>(slots)...});
        }
    }

    template <typename Arguments> DataMap PrivateHelper_Call(Arguments&& arguments) {
        DataMap outputs;
        if constexpr (outputCount == 0) {
            std::apply(callable, std::forward<Arguments>(arguments));
        } else if constexpr (function_node_detail::IsTuple<typename Signature::Result>::value) {
            PrivateHelper_Write(outputs, std::apply(callable, std::forward<Arguments>(arguments)),
                                std::make_index_sequence<outputCount>());
        } else {
            PrivateHelper_WriteOne<0>(outputs,
                                      std::apply(callable, std::forward<Arguments>(arguments)));
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
                function_node_detail::Refuse("The node \"" + name +
                                             "\" gave no value for its output \"" + outputNames[I] +
                                             "\".");
            outputs.emplace(outputIds[I], std::forward<Plain>(result));
        } else {
            outputs.emplace(outputIds[I], MakeValue(std::forward<Plain>(result)));
        }
    }

    // What every execution reads first, together; the names only serve lookups and messages.
    Callable callable;
    GUID id;
    InputIds inputIds{};
    std::array<GUID, outputCount> outputIds{};
    function_node_detail::PinPositions positions;
    std::string name;
    std::string description;
    std::vector<std::string> inputNames;
    std::vector<std::string> outputNames;
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

template <typename Callable, std::size_t Outputs>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeWithList(std::string name, std::vector<std::string> inputs, std::vector<std::string> outputs,
             Callable&& callable, const GUID& id, std::string description) {
    using Node = FunctionNode<std::decay_t<Callable>>;
    static_assert(Outputs == Node::outputCount,
                  "MakeFunctionNode: the count of output names differs from the count of the "
                  "callable's results");
    return std::make_shared<Node>(std::move(name), std::move(inputs), std::move(outputs),
                                  std::forward<Callable>(callable), id, std::move(description));
}

// The forms that take a fixed list of input names, and those that take any count of them.
template <typename Callable> using IfFixed = std::enable_if_t<!TakesInputList<Callable>(), int>;

template <typename Callable> using IfList = std::enable_if_t<TakesInputList<Callable>(), int>;

} // namespace function_node_detail

/// @brief A node function named `name` that calls `callable`.
///
/// The callable's parameters are the inputs, named in order by `inputs`: a plain `T` (by value
/// or const reference) reads a Value<T>, a `const V&` of a host value class V reads a V, and a
/// `std::optional` of either may find no value. Its result is the outputs, named by `outputs`:
/// a `T` (written as a Value<T>), a `std::shared_ptr<const V>`, a `std::tuple` of them, or
/// `void`; an empty `std::optional` leaves its output unwritten. The counts of names are checked
/// at compile time. A name used twice among inputs and outputs raises GraphException. A callable
/// whose last parameter is an InputList takes its input names as a std::vector (see below).
template <typename Callable, std::size_t Inputs, std::size_t Outputs,
          function_node_detail::IfFixed<Callable> = 0>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, const std::string (&inputs)[Inputs],
                 const std::string (&outputs)[Outputs], Callable&& callable,
                 const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, Inputs, Outputs>(
        std::move(name), function_node_detail::Names(inputs), function_node_detail::Names(outputs),
        std::forward<Callable>(callable), id, std::move(description));
}

/// @brief MakeFunctionNode for a node without inputs.
template <typename Callable, std::size_t Outputs, function_node_detail::IfFixed<Callable> = 0>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, NoPinNames, const std::string (&outputs)[Outputs],
                 Callable&& callable, const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, 0, Outputs>(
        std::move(name), {}, function_node_detail::Names(outputs), std::forward<Callable>(callable),
        id, std::move(description));
}

/// @brief MakeFunctionNode for a node without outputs.
template <typename Callable, std::size_t Inputs, function_node_detail::IfFixed<Callable> = 0>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, const std::string (&inputs)[Inputs], NoPinNames,
                 Callable&& callable, const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, Inputs, 0>(
        std::move(name), function_node_detail::Names(inputs), {}, std::forward<Callable>(callable),
        id, std::move(description));
}

/// @brief MakeFunctionNode for a node with neither inputs nor outputs.
template <typename Callable, function_node_detail::IfFixed<Callable> = 0>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, NoPinNames, NoPinNames, Callable&& callable,
                 const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::Make<Callable, 0, 0>(
        std::move(name), {}, {}, std::forward<Callable>(callable), id, std::move(description));
}

/// @brief MakeFunctionNode for a callable whose last parameter is an InputList<T>.
///
/// The first names go to the callable's fixed parameters, in order, and every name after them
/// to the list, which reads the values in the order of the names: a node of any count of inputs
/// from one callable. Each list input is required and of the pin class that `const T&` reads.
/// Fewer names than fixed parameters, or a name used twice, raise GraphException.
template <typename Callable, std::size_t Outputs, function_node_detail::IfList<Callable> = 0>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, std::vector<std::string> inputs,
                 const std::string (&outputs)[Outputs], Callable&& callable,
                 const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::MakeWithList<Callable, Outputs>(
        std::move(name), std::move(inputs), function_node_detail::Names(outputs),
        std::forward<Callable>(callable), id, std::move(description));
}

/// @brief MakeFunctionNode for a callable whose last parameter is an InputList, without outputs.
template <typename Callable, function_node_detail::IfList<Callable> = 0>
std::shared_ptr<FunctionNode<std::decay_t<Callable>>>
MakeFunctionNode(std::string name, std::vector<std::string> inputs, NoPinNames, Callable&& callable,
                 const GUID& id = CreateGUID(), std::string description = {}) {
    return function_node_detail::MakeWithList<Callable, 0>(std::move(name), std::move(inputs), {},
                                                           std::forward<Callable>(callable), id,
                                                           std::move(description));
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
