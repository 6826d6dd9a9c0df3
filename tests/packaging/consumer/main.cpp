// A host that builds a two-node graph through the installed package, runs it, and checks the
// value that arrives downstream. Exits non-zero with a message on any mismatch.

#include <datagraph/DataGraph.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <typeinfo>

namespace {

using datagraph::DataMap;
using datagraph::GUID;
using datagraph::Schema;

class Number : public datagraph::IDataValue {
public:
    explicit Number(int value)
        : value(value) {}

    std::unique_ptr<IDataValue> Clone() const override { return std::make_unique<Number>(value); }

    const std::type_info& GetType() const override { return typeid(Number); }

    int value;
};

/// Outputs its input doubled, or `seed` when it has no input pin.
class Doubler : public datagraph::INodeFunction {
public:
    Doubler(bool hasInput, int seed)
        : inputPin(hasInput ? datagraph::CreateGUID() : datagraph::GetNullGUID())
        , seed(seed) {}

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<Doubler>(*this);
    }

    DataMap Execute(const DataMap& inputs) override {
        int result = seed;
        if (!inputPin.is_nil()) {
            result = 2 * dynamic_cast<const Number&>(*inputs.at(inputPin)).value;
        }
        return {{outputPin, std::make_shared<const Number>(result)}};
    }

    std::string GetName() const override { return "doubler"; }

    std::string GetDescription() const override { return "doubles a number"; }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID&) const override { return "number"; }

    std::string GetInputOrOutputDescription(const GUID&) const override { return "a number"; }

    Schema GetInputSchema() const override {
        Schema schema;
        if (!inputPin.is_nil()) {
            schema.emplace(inputPin, typeid(Number));
        }
        return schema;
    }

    Schema GetOutputSchema() const override { return {{outputPin, typeid(Number)}}; }

    std::string GetClassIdentifier() const override { return "consumer-doubler"; }

    GUID id = datagraph::CreateGUID();
    GUID inputPin;
    GUID outputPin = datagraph::CreateGUID();
    int seed;
};

int Fail(const std::string& what) {
    std::cerr << "consumer: " << what << "\n";
    return EXIT_FAILURE;
}

} // namespace

int main() {
    auto graph = datagraph::CreateGraph(datagraph::CreateGUID());
    auto source = std::make_shared<Doubler>(false, 21);
    auto doubler = std::make_shared<Doubler>(true, 0);
    graph->CreateNode(source, datagraph::GetNullGUID());
    graph->CreateNode(doubler, datagraph::GetNullGUID());
    graph->LinkPins(source->outputPin, doubler->inputPin);
    graph->Traverse();

    // Failures and type information must cross the library boundary intact.
    try {
        graph->LinkPins(doubler->outputPin, datagraph::CreateGUID());
        return Fail("linking to an unknown pin was not refused");
    } catch (const datagraph::GraphException&) {
    }
    if (!std::dynamic_pointer_cast<datagraph::Graph>(graph)) {
        return Fail("CreateGraph did not give a datagraph::Graph");
    }

    const auto result = graph->GetDataFromPin(doubler->outputPin);
    if (!result || dynamic_cast<const Number&>(*result).value != 42) {
        return Fail("the downstream pin does not hold 42");
    }
    std::cout << "consumer: the graph computed 42\n";
    return EXIT_SUCCESS;
}
