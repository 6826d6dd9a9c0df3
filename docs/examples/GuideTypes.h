#pragma once

// The value type and node function that the guide's examples share, and a check that makes an
// example fail loudly.

#include <datagraph/DataGraph.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>

namespace guide {

inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::cerr << "guide example failed: " << what << "\n";
        std::exit(EXIT_FAILURE);
    }
}

// [value type]
class Number : public datagraph::IDataValue {
public:
    explicit Number(double value)
        : value(value) {}

    std::unique_ptr<IDataValue> Clone() const override { return std::make_unique<Number>(value); }

    const std::type_info& GetType() const override { return typeid(Number); }

    double Get() const { return value; }

private:
    double value;
};

// [value type]

// [node function]
/// Outputs its input plus a constant; without an input pin it is a source of the constant.
class AddConstant : public datagraph::INodeFunction {
public:
    AddConstant(std::string name, double constant, bool hasInput)
        : in(hasInput ? datagraph::CreateGUID() : datagraph::GetNullGUID())
        , name(std::move(name))
        , constant(constant) {}

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<AddConstant>(*this); // same id, same pin ids
    }

    datagraph::DataMap Execute(const datagraph::DataMap& inputs) override {
        double result = constant;
        if (const auto input = inputs.find(in); input != inputs.end()) {
            result += dynamic_cast<const Number&>(*input->second).Get();
        }
        return {{out, std::make_shared<const Number>(result)}};
    }

    std::string GetName() const override { return name; }

    std::string GetDescription() const override { return "adds a constant"; }

    datagraph::GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const datagraph::GUID& pinId) const override {
        return pinId == in ? "in" : "out";
    }

    std::string GetInputOrOutputDescription(const datagraph::GUID&) const override {
        return "a number";
    }

    datagraph::Schema GetInputSchema() const override {
        datagraph::Schema schema;
        if (!in.is_nil()) {
            schema.emplace(in, typeid(Number));
        }
        return schema;
    }

    datagraph::Schema GetOutputSchema() const override { return {{out, typeid(Number)}}; }

    std::string GetClassIdentifier() const override { return "guide-add-constant"; }

    const datagraph::GUID id = datagraph::CreateGUID(); // names the node
    const datagraph::GUID in;                           // null for a source
    const datagraph::GUID out = datagraph::CreateGUID();

private:
    std::string name;
    double constant;
};

// [node function]

inline double ValueOn(const datagraph::Graph& graph, const datagraph::GUID& pinId) {
    return dynamic_cast<const Number&>(*graph.GetDataFromPin(pinId)).Get();
}

} // namespace guide
