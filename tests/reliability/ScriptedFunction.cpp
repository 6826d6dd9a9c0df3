#include "ScriptedFunction.h"

namespace datagraph::reliability {

DataMap FunctionScript::Outputs(const DataMap& inputs) const {
    DataMap outputs;
    for (const OutputRule& rule : rules) {
        if (!rule.fromInput) {
            outputs.emplace(rule.pin, rule.value);
            continue;
        }
        auto found = inputs.find(rule.input);
        if (found != inputs.end()) {
            outputs.emplace(rule.pin, found->second);
        }
    }
    return outputs;
}

PinStates ReadPinStates(const Graph& graph) {
    PinStates states;
    for (const Pin* pin : graph.GetAllPins()) {
        states[pin->GetId()] = {pin->GetData().get(), pin->HasUpdatedData()};
    }
    return states;
}

ScriptedFunction::ScriptedFunction(std::shared_ptr<const FunctionScript> script,
                                   std::shared_ptr<ExecutionContext> context)
    : script(std::move(script))
    , context(std::move(context)) {
    ++LiveCount();
}

ScriptedFunction::ScriptedFunction(const ScriptedFunction& other)
    : INodeFunction(other)
    , script(other.script)
    , context(other.context) {
    ++LiveCount();
}

ScriptedFunction::~ScriptedFunction() {
    --LiveCount();
}

long& ScriptedFunction::LiveCount() {
    static long live = 0;
    return live;
}

std::shared_ptr<INodeFunction> ScriptedFunction::Clone() const {
    FaultPlan::Hit();
    if (script->cloneReturnsNothing) {
        return nullptr;
    }
    return std::make_shared<ScriptedFunction>(*this);
}

DataMap ScriptedFunction::Execute(const DataMap& inputs) {
    FaultPlan::Hit();
    Graph* graph = context->graph;
    // Recorded before anything happens: a nested traversal appends its own entries after this.
    const std::size_t index = context->trace.size();
    TraceEntry entry;
    entry.node = script->id;
    entry.inputs = inputs;
    entry.pins = graph ? ReadPinStates(*graph) : PinStates{};
    context->trace.push_back(std::move(entry));
    switch (script->action) {
    case Action::Return:
        break;
    case Action::ThrowGraphException:
        throw GraphException(script->FailureMessage());
    case Action::ThrowHostError:
        throw ScriptedHostError(script->FailureMessage());
    case Action::DestroyOwnNode:
        if (graph) {
            graph->DestroyNode(script->id);
        }
        break;
    case Action::TraverseOwnGraphAndCatch:
    case Action::TraverseOwnGraphAndRethrow:
        if (!graph) {
            break;
        }
        try {
            graph->Traverse();
            context->trace[index].nestedRan = true;
        } catch (const GraphException& refusal) {
            context->trace[index].nested = refusal.what();
            if (script->action == Action::TraverseOwnGraphAndRethrow) {
                throw;
            }
        }
        break;
    }
    return script->Outputs(inputs);
}

GUID ScriptedFunction::GetId() const {
    FaultPlan::Hit();
    return script->id;
}

Schema ScriptedFunction::GetInputSchema() const {
    FaultPlan::Hit();
    Schema schema;
    for (const auto& [pinId, kind] : script->inputs) {
        schema.emplace(pinId, TypeOf(kind));
    }
    return schema;
}

Schema ScriptedFunction::GetOutputSchema() const {
    FaultPlan::Hit();
    Schema schema;
    for (const auto& [pinId, kind] : script->outputs) {
        schema.emplace(pinId, TypeOf(kind));
    }
    return schema;
}

} // namespace datagraph::reliability
