#include <datagraph/UbernodeNodeFunction.h>

#include <kescoreplatform/KString.h>

#include "Checks.h"

namespace datagraph {

UbernodeNodeFunction::UbernodeNodeFunction(std::shared_ptr<Graph> graph, const Schema inputSchema,
                                           const Schema outputSchema, const std::string& name,
                                           const std::string& description, GUID id)
    : name(name)
    , description(description)
    , graph(std::move(graph))
    , inputSchema(inputSchema)
    , outputSchema(outputSchema)
    , id(id) {
    CheckThat(this->graph != nullptr, "Ubernode graph cannot be null");
}

UbernodeNodeFunction::UbernodeNodeFunction(const UbernodeNodeFunction& other)
    : INodeFunction(other)
    , name(other.name)
    , description(other.description)
    , graph(std::make_shared<Graph>(*other.graph))
    , inputSchema(other.inputSchema)
    , outputSchema(other.outputSchema)
    , id(other.id) {}

UbernodeNodeFunction::~UbernodeNodeFunction() = default;

std::shared_ptr<INodeFunction> UbernodeNodeFunction::Clone() const {
    return std::make_shared<UbernodeNodeFunction>(*this);
}

DataMap UbernodeNodeFunction::Execute(const DataMap& inputs) {
    for (const auto& [pinId, value] : inputs) {
        graph->PutDataOnPin(pinId, value);
    }
    graph->Traverse();
    DataMap outputs;
    for (const auto& entry : outputSchema) {
        // An inner pin that holds nothing yet yields no output, so the outer pin keeps its value.
        if (std::shared_ptr<const IDataValue> value = graph->GetConstPin(entry.first).GetData()) {
            outputs.emplace(entry.first, std::move(value));
        }
    }
    return outputs;
}

std::string UbernodeNodeFunction::GetName() const {
    return name;
}

std::string UbernodeNodeFunction::GetDescription() const {
    return description;
}

GUID UbernodeNodeFunction::GetId() const {
    return id;
}

std::string UbernodeNodeFunction::GetInputOrOutputName(const GUID& pinId) const {
    const GUID owner = graph->GetOwningNode(pinId);
    return graph->GetConstNode(owner).GetNodeFunction().GetInputOrOutputName(pinId);
}

std::string UbernodeNodeFunction::GetInputOrOutputDescription(const GUID& pinId) const {
    const GUID owner = graph->GetOwningNode(pinId);
    return graph->GetConstNode(owner).GetNodeFunction().GetInputOrOutputDescription(pinId);
}

Schema UbernodeNodeFunction::GetInputSchema() const {
    return inputSchema;
}

Schema UbernodeNodeFunction::GetOutputSchema() const {
    return outputSchema;
}

std::string UbernodeNodeFunction::GetClassIdentifier() const {
    return KString(L"graph-node", -1).toStdString();
}

const Graph* UbernodeNodeFunction::GetGraph() const {
    return graph.get();
}

} // namespace datagraph
