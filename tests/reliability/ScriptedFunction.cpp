#include "ScriptedFunction.h"

#include <algorithm>
#include <iterator>

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

PinStates::PinStates(std::vector<State> given)
    : states(std::move(given)) {
    auto byPin = [](const State& a, const State& b) { return a.pin < b.pin; };
    std::stable_sort(states.begin(), states.end(), byPin);
    auto kept = states.begin();
    for (auto state = states.begin(); state != states.end(); ++state) {
        if (std::next(state) == states.end() || std::next(state)->pin != state->pin) {
            *kept++ = *state;
        }
    }
    states.erase(kept, states.end());
}

const PinStates::State* PinStates::Find(const GUID& pin) const {
    auto found =
        std::lower_bound(states.begin(), states.end(), pin,
                         [](const State& state, const GUID& id) { return state.pin < id; });
    return found != states.end() && found->pin == pin ? &*found : nullptr;
}

PinStates ReadPinStates(const Graph& graph) {
    const std::vector<const Pin*> pins = graph.GetAllPins();
    std::vector<PinStates::State> states;
    states.reserve(pins.size());
    for (const Pin* pin : pins) {
        states.push_back({pin->GetId(), pin->GetData().get(), pin->HasUpdatedData()});
    }
    return PinStates(std::move(states));
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

void ScriptedFunction::RunCloneHook() const {
    const HostileHooks& hooks = script->hooks;
    Graph* graph = context->graph;
    if (hooks.onClone == HostileHooks::OnClone::None || graph == nullptr) {
        return;
    }
    context->clones.push_back({script->id, {}});
    switch (hooks.onClone) {
    case HostileHooks::OnClone::None:
        break;
    case HostileHooks::OnClone::DestroyOwnNode:
        graph->DestroyNode(script->id);
        break;
    case HostileHooks::OnClone::DestroyNode:
        graph->DestroyNode(hooks.cloneTarget);
        break;
    case HostileHooks::OnClone::AssignToGraph:
        try {
            *graph = Graph(graph->GetDefaultExecutionSubgraphID());
        } catch (const GraphException& refusal) {
            context->clones.back().refusal = refusal.what();
            throw;
        }
        break;
    }
}

void ScriptedFunction::RunExecuteHook(Graph& graph, std::size_t index) {
    const HostileHooks& hooks = script->hooks;
    switch (hooks.onExecute) {
    case HostileHooks::OnExecute::None:
        break;
    case HostileHooks::OnExecute::CreateNode:
        if (!graph.HasNode(hooks.executeTarget)) {
            auto spawned = std::make_shared<ScriptedFunction>(hooks.spawned, context);
            graph.CreateNode(spawned, GetNullGUID());
            context->trace[index].spawned = spawned.get();
        }
        break;
    case HostileHooks::OnExecute::WritePin: {
        const GUID& pin = hooks.executeTarget;
        if (!graph.HasPin(pin)) {
            break;
        }
        const GUID owner = graph.GetOwningNode(pin);
        if (owner != script->id && graph.GetOutputNodes(script->id).count(owner) == 0) {
            break;
        }
        try {
            graph.PutDataOnPin(pin, hooks.written);
            context->trace[index].hookWrote = true;
        } catch (const GraphException&) { // a value of another type: nothing written
        }
        break;
    }
    case HostileHooks::OnExecute::DestroyNode:
        graph.DestroyNode(hooks.executeTarget);
        break;
    }
}

std::shared_ptr<INodeFunction> ScriptedFunction::Clone() const {
    FaultPlan::Hit();
    RunCloneHook();
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
    if (graph) {
        RunExecuteHook(*graph, index);
    }
    switch (script->action) {
    case Action::Return:
        break;
    case Action::ThrowGraphException:
        throw GraphException(script->FailureMessage());
    case Action::ThrowHostError:
        throw ScriptedHostError(script->FailureMessage());
    case Action::DestroyOwnNode:
    case Action::DestroyAnotherNode:
        if (graph) {
            graph->DestroyNode(script->action == Action::DestroyOwnNode ? script->id
                                                                        : script->target);
        }
        break;
    case Action::ClearOwnGraph:
        if (graph) {
            graph->Clear();
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
