#pragma once

// A configurable node function: declared schemas, counted calls and either canned outputs or a
// callable that computes them. Clones share the call counters and behaviour but not the object.

#include <datagraph/INodeFunction.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace datagraph::test {

struct FunctionCalls {
    int executes = 0;
    int clones = 0;
    DataMap lastInputs;
};

class StubFunction : public INodeFunction {
public:
    using Body = std::function<DataMap(const DataMap& inputs)>;

    explicit StubFunction(GUID id = CreateGUID())
        : id(id)
        , calls(std::make_shared<FunctionCalls>()) {}

    /// Declares an input pin and returns its id.
    GUID AddInput(const std::type_info& type, GUID pinId = CreateGUID()) {
        inputs.emplace(pinId, type);
        return pinId;
    }

    /// Declares an output pin and returns its id.
    GUID AddOutput(const std::type_info& type, GUID pinId = CreateGUID()) {
        outputs.emplace(pinId, type);
        return pinId;
    }

    void SetBody(Body newBody) { body = std::move(newBody); }

    void SetOutputs(DataMap canned) {
        body = [canned](const DataMap&) { return canned; };
    }

    void SetName(std::string newName) { name = std::move(newName); }

    /// Clone() returns an empty pointer from now on.
    void MakeCloneReturnNothing() { cloneReturnsNothing = true; }

    const FunctionCalls& Calls() const { return *calls; }

    std::shared_ptr<INodeFunction> Clone() const override {
        ++calls->clones;
        if (cloneReturnsNothing) {
            return nullptr;
        }
        return std::make_shared<StubFunction>(*this);
    }

    DataMap Execute(const DataMap& in) override {
        ++calls->executes;
        calls->lastInputs = in;
        return body ? body(in) : DataMap{};
    }

    std::string GetName() const override { return name; }

    std::string GetDescription() const override { return name + " description"; }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID& pinId) const override {
        return "pin " + GUIDToString(pinId);
    }

    std::string GetInputOrOutputDescription(const GUID& pinId) const override {
        return "about pin " + GUIDToString(pinId);
    }

    Schema GetInputSchema() const override { return inputs; }

    Schema GetOutputSchema() const override { return outputs; }

    std::string GetClassIdentifier() const override { return "stub"; }

private:
    GUID id;
    std::string name = "stub";
    Schema inputs;
    Schema outputs;
    Body body;
    bool cloneReturnsNothing = false;
    std::shared_ptr<FunctionCalls> calls;
};

/// Raised by host node functions in tests; deliberately not a GraphException.
struct HostError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace datagraph::test
