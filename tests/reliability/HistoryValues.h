#pragma once

// The node functions of the edit-history suite, whose outputs depend only on the contents of their
// inputs (the values are the reliability suites' own, ModelValues.h). Functions and values count
// the objects alive, so that a sequence can check that nothing it made outlives the graph and its
// history.

#include <datagraph/EditHistory.h>
#include <datagraph/INodeFunction.h>

#include "ModelValues.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace datagraph::reliability {

/// Raised by the suite's host objects; deliberately not a GraphException.
struct HistoryHostError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// What every function of a sequence shares with the harness, clones included.
struct FunctionContext {
    EditHistory* history = nullptr; // probed while a traversal runs, when `probeHistory` is set
    bool probeHistory = false;
    long historyRefusals = 0; // Undo and Redo refused during a traversal, as they must be
    long historyAccepted = 0; // ... and accepted, which they must not be
    GUID throwingNode;        // its function raises HistoryHostError when it runs
    GUID failingClone;        // its function's Clone raises HistoryHostError
    long executions = 0;
};

class HistoryFunction : public INodeFunction {
public:
    using Pins = std::vector<std::pair<GUID, ValueKind>>;

    HistoryFunction(const GUID& id, int salt, Pins inputs, Pins outputs,
                    std::shared_ptr<FunctionContext> context)
        : id(id)
        , salt(salt)
        , inputs(std::move(inputs))
        , outputs(std::move(outputs))
        , context(std::move(context)) {
        ++Live();
    }

    HistoryFunction(const HistoryFunction& other)
        : INodeFunction(other)
        , id(other.id)
        , salt(other.salt)
        , inputs(other.inputs)
        , outputs(other.outputs)
        , context(other.context) {
        ++Live();
    }

    HistoryFunction& operator=(const HistoryFunction&) = delete;

    ~HistoryFunction() override { --Live(); }

    static long& Live() {
        static long live = 0;
        return live;
    }

    std::shared_ptr<INodeFunction> Clone() const override {
        if (context->failingClone == id) {
            throw HistoryHostError("clone refused");
        }
        return std::make_shared<HistoryFunction>(*this);
    }

    DataMap Execute(const DataMap& in) override {
        ++context->executions;
        if (context->probeHistory && context->history != nullptr) {
            for (bool redo : {false, true}) {
                try {
                    redo ? context->history->Redo() : context->history->Undo();
                    ++context->historyAccepted;
                } catch (const GraphException&) {
                    ++context->historyRefusals;
                }
            }
        }
        if (context->throwingNode == id) {
            throw HistoryHostError("node failed");
        }
        int sum = 0;
        for (const auto& entry : in) {
            sum += static_cast<const ModelValue&>(*entry.second).Content();
        }
        DataMap out;
        int k = 0;
        for (const auto& [pin, kind] : outputs) {
            out.emplace(pin, MakeValue(kind, (salt * 31 + ++k * 7 + sum) % 1000 + 1));
        }
        return out;
    }

    std::string GetName() const override { return "history function"; }

    std::string GetDescription() const override { return "a function of the history suite"; }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID&) const override { return "pin"; }

    std::string GetInputOrOutputDescription(const GUID&) const override { return "a pin"; }

    Schema GetInputSchema() const override { return SchemaOf(inputs); }

    Schema GetOutputSchema() const override { return SchemaOf(outputs); }

    std::string GetClassIdentifier() const override { return "history"; }

private:
    static Schema SchemaOf(const Pins& pins) {
        Schema schema;
        for (const auto& [pin, kind] : pins) {
            schema.emplace(pin, TypeOf(kind));
        }
        return schema;
    }

    GUID id;
    int salt;
    Pins inputs;
    Pins outputs;
    std::shared_ptr<FunctionContext> context;
};

} // namespace datagraph::reliability
