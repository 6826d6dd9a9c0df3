// A small host program: it builds a graph in which two constants feed an adder, runs it once and
// prints what the graph then holds: its nodes, the values on their pins, and its links.

#include <datagraph/DataGraph.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace {

using datagraph::DataMap;
using datagraph::Graph;
using datagraph::GUID;
using datagraph::Schema;

/// The one value type of this program. Values are immutable once on a pin.
class Integer : public datagraph::IDataValue {
public:
    explicit Integer(int value)
        : value(value) {}

    std::unique_ptr<IDataValue> Clone() const override { return std::make_unique<Integer>(value); }

    const std::type_info& GetType() const override { return typeid(Integer); }

    int Get() const { return value; }

private:
    int value;
};

/// What the demo's node functions share: a name, an id, and named pins that carry integers.
class IntegerFunction : public datagraph::INodeFunction {
public:
    explicit IntegerFunction(std::string name)
        : name(std::move(name)) {}

    std::string GetName() const override { return name; }

    std::string GetDescription() const override { return "demo node " + name; }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID& pinId) const override {
        return pinNames.at(pinId);
    }

    std::string GetInputOrOutputDescription(const GUID&) const override { return "an integer"; }

    Schema GetInputSchema() const override { return SchemaOf(inputs); }

    Schema GetOutputSchema() const override { return SchemaOf(outputs); }

protected:
    GUID AddPin(std::vector<GUID>& pins, const std::string& pinName) {
        const GUID pinId = datagraph::CreateGUID();
        pins.push_back(pinId);
        pinNames.emplace(pinId, pinName);
        return pinId;
    }

    std::vector<GUID> inputs;
    std::vector<GUID> outputs;

private:
    static Schema SchemaOf(const std::vector<GUID>& pins) {
        Schema schema;
        for (const GUID& pinId : pins) {
            schema.emplace(pinId, typeid(Integer));
        }
        return schema;
    }

    std::string name;
    GUID id = datagraph::CreateGUID();
    std::map<GUID, std::string> pinNames;
};

class Constant : public IntegerFunction {
public:
    Constant(std::string name, int value)
        : IntegerFunction(std::move(name))
        , output(AddPin(outputs, "value"))
        , value(value) {}

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<Constant>(*this);
    }

    DataMap Execute(const DataMap&) override {
        return {{output, std::make_shared<const Integer>(value)}};
    }

    std::string GetClassIdentifier() const override { return "demo-constant"; }

    const GUID output;

private:
    int value;
};

class Adder : public IntegerFunction {
public:
    explicit Adder(std::string name)
        : IntegerFunction(std::move(name))
        , left(AddPin(inputs, "a"))
        , right(AddPin(inputs, "b"))
        , sum(AddPin(outputs, "sum")) {}

    std::shared_ptr<INodeFunction> Clone() const override { return std::make_shared<Adder>(*this); }

    DataMap Execute(const DataMap& in) override {
        const int total = ValueOf(in.at(left)) + ValueOf(in.at(right));
        return {{sum, std::make_shared<const Integer>(total)}};
    }

    std::string GetClassIdentifier() const override { return "demo-adder"; }

    static int ValueOf(const std::shared_ptr<const datagraph::IDataValue>& value) {
        return dynamic_cast<const Integer&>(*value).Get();
    }

    const GUID left;
    const GUID right;
    const GUID sum;
};

std::string PinName(const Graph& graph, const GUID& pinId) {
    const datagraph::Node& node = graph.GetConstNode(graph.GetOwningNode(pinId));
    return node.GetNodeFunction().GetName() + "." +
           node.GetNodeFunction().GetInputOrOutputName(pinId);
}

void PrintPins(const Graph& graph, const datagraph::Node& node, const char* direction,
               const datagraph::IdentifierSet& pins) {
    std::vector<std::pair<std::string, GUID>> named;
    for (const GUID& pinId : pins) {
        named.emplace_back(node.GetNodeFunction().GetInputOrOutputName(pinId), pinId);
    }
    std::sort(named.begin(), named.end());
    for (const auto& [name, pinId] : named) {
        const auto data = graph.GetDataFromPin(pinId);
        std::cout << "    " << direction << " " << name << " = "
                  << (data ? std::to_string(Adder::ValueOf(data)) : "(no value)") << "\n";
    }
}

void PrintGraph(const Graph& graph) {
    std::cout << "The graph holds " << graph.GetNodes().size() << " nodes, in running order:\n";
    for (const GUID& nodeId : graph.GetNodesInTopologicalOrder()) {
        const datagraph::Node& node = graph.GetConstNode(nodeId);
        std::cout << "  " << node.GetNodeFunction().GetName() << " ("
                  << node.GetNodeFunction().GetClassIdentifier() << ")\n";
        PrintPins(graph, node, "in ", node.GetInputPins());
        PrintPins(graph, node, "out", node.GetOutputPins());
    }
    std::cout << "and " << graph.GetPinToPinEdges().size() << " links:\n";
    for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
        std::cout << "  " << PinName(graph, upstream) << " -> " << PinName(graph, downstream)
                  << "\n";
    }
}

} // namespace

int main() {
    Graph graph(datagraph::CreateGUID());
    auto two = std::make_shared<Constant>("two", 2);
    auto forty = std::make_shared<Constant>("forty", 40);
    auto adder = std::make_shared<Adder>("adder");

    // The null GUID files each node under the graph's default execution subgraph.
    graph.CreateNode(two, datagraph::GetNullGUID());
    graph.CreateNode(forty, datagraph::GetNullGUID());
    graph.CreateNode(adder, datagraph::GetNullGUID());
    graph.LinkPins(two->output, adder->left);
    graph.LinkPins(forty->output, adder->right);

    // Runs the constants, hands their values along the links, then runs the adder.
    graph.Traverse();

    PrintGraph(graph);
    return 0;
}
