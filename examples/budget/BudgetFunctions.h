#pragma once

// The workbook's node functions. A Cell holds a value the person typed in and hands it on each
// run; a Formula computes one output from named inputs. Both have one output pin, so a failure
// to hand a value on can only concern that one pin.

#include "BudgetValues.h"

#include <datagraph/Foundation.h>
#include <datagraph/INodeFunction.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace budget {

using datagraph::DataMap;
using datagraph::GUID;
using datagraph::Schema;

/// Names, ids and typed pins; what every workbook function shares.
class BudgetFunction : public datagraph::INodeFunction {
public:
    BudgetFunction(std::string name, std::string description)
        : name(std::move(name))
        , description(std::move(description)) {}

    std::string GetName() const override { return name; }

    std::string GetDescription() const override { return description; }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID& pinId) const override {
        return pins.at(pinId).name;
    }

    std::string GetInputOrOutputDescription(const GUID& pinId) const override {
        return pins.at(pinId).name + " of " + name;
    }

    Schema GetInputSchema() const override { return SchemaOf(false); }

    Schema GetOutputSchema() const override { return SchemaOf(true); }

    /// The input pin of that name.
    GUID In(const std::string& pinName) const { return inputs.at(pinName); }

    GUID Out() const { return output; }

protected:
    void AddInput(const std::string& pinName, const std::type_info& type) {
        inputs[pinName] = AddPin(pinName, type, false);
    }

    void SetOutput(const std::string& pinName, const std::type_info& type) {
        output = AddPin(pinName, type, true);
    }

private:
    struct PinInfo {
        std::string name;
        const std::type_info* type;
        bool output;
    };

    GUID AddPin(const std::string& pinName, const std::type_info& type, bool isOutput) {
        const GUID pinId = datagraph::CreateGUID();
        pins.emplace(pinId, PinInfo{pinName, &type, isOutput});
        return pinId;
    }

    Schema SchemaOf(bool outputs) const {
        Schema schema;
        for (const auto& [pinId, info] : pins) {
            if (info.output == outputs) {
                schema.emplace(pinId, *info.type);
            }
        }
        return schema;
    }

    std::string name;
    std::string description;
    GUID id = datagraph::CreateGUID();
    std::map<GUID, PinInfo> pins;
    std::map<std::string, GUID> inputs;
    GUID output;
};

/// A value typed in by the person; the host changes it with Set between runs.
class Cell : public BudgetFunction {
public:
    Cell(const std::string& name, std::shared_ptr<const datagraph::IDataValue> value)
        : BudgetFunction(name, "a value typed into the workbook")
        , value(std::move(value)) {
        SetOutput("value", this->value->GetType());
    }

    std::shared_ptr<INodeFunction> Clone() const override { return std::make_shared<Cell>(*this); }

    DataMap Execute(const DataMap&) override { return {{Out(), value}}; }

    std::string GetClassIdentifier() const override { return "budget-cell"; }

    void Set(std::shared_ptr<const datagraph::IDataValue> newValue) { value = std::move(newValue); }

private:
    std::shared_ptr<const datagraph::IDataValue> value;
};

/// One output computed from named inputs by a body the workbook supplies.
class Formula : public BudgetFunction {
public:
    /// Reads a typed input by pin name.
    class Inputs {
    public:
        Inputs(const Formula& formula, const DataMap& values)
            : formula(formula)
            , values(values) {}

        template <typename T> const auto& Get(const std::string& pinName) const {
            return dynamic_cast<const T&>(*values.at(formula.In(pinName))).Get();
        }

    private:
        const Formula& formula;
        const DataMap& values;
    };

    using Body = std::function<std::shared_ptr<const datagraph::IDataValue>(const Inputs&)>;

    Formula(const std::string& name, const std::string& description,
            const std::vector<std::pair<std::string, const std::type_info*>>& inputPins,
            const std::type_info& outputType, Body body)
        : BudgetFunction(name, description)
        , body(std::move(body)) {
        for (const auto& [pinName, type] : inputPins) {
            AddInput(pinName, *type);
        }
        SetOutput(name, outputType);
    }

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<Formula>(*this);
    }

    DataMap Execute(const DataMap& values) override {
        return {{Out(), body(Inputs(*this, values))}};
    }

    std::string GetClassIdentifier() const override { return "budget-formula"; }

private:
    Body body;
};

} // namespace budget
