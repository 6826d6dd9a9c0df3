#include "ModelHarness.h"

#include "GraphInvariants.h"
#include "HarnessChoices.h"

#include <datagraph/Graph.h>

#include <algorithm>
#include <random>

namespace datagraph::reliability {

// Node ids and pin ids overlap in a few places and both pools hold the null GUID: the graph keeps
// node ids and pin ids apart and takes the null GUID as an ordinary id of either.
const Pools& GetPools() {
    static const Pools pools = [] {
        Pools made;
        std::mt19937 engine(0x6b657364u);
        auto make = [&engine](const std::string& name, Pools& into) {
            GUID id;
            for (auto& byte : id.data) {
                byte = static_cast<std::uint8_t>(engine() & 0xffu);
            }
            into.names[id] = name;
            return id;
        };
        made.names[GetNullGUID()] = "null";
        std::vector<GUID> shared;
        for (int i = 0; i < 40; ++i) {
            shared.push_back(make("g" + std::to_string(i), made));
        }
        made.nodes.push_back(GetNullGUID());
        made.nodes.insert(made.nodes.end(), shared.begin(), shared.begin() + 10);
        made.pins.push_back(GetNullGUID());
        made.pins.insert(made.pins.end(), shared.begin() + 6, shared.end());
        made.subgraphs.push_back(GetNullGUID());
        for (int i = 0; i < 4; ++i) {
            made.subgraphs.push_back(make("s" + std::to_string(i), made));
        }
        return made;
    }();
    return pools;
}

HarnessTotals& HarnessTotals::operator+=(const HarnessTotals& other) {
    operations += other.operations;
    refusals += other.refusals;
    absorbedFailures += other.absorbedFailures;
    traversals += other.traversals;
    traversalsRefused += other.traversalsRefused;
    nodeExecutions += other.nodeExecutions;
    queriesCompared += other.queriesCompared;
    hostileCallbacks += other.hostileCallbacks;
    return *this;
}

ModelHarness::ModelHarness(ChoiceSource& choices)
    : choices(choices)
    , context(std::make_shared<ExecutionContext>()) {
    log.reserve(64);
    const Pools& pools = GetPools();
    for (int i = 0; i < 2; ++i) {
        const GUID subgraph = pools.subgraphs[1 + i];
        slots.push_back({std::make_shared<Graph>(subgraph), GraphModel(subgraph)});
    }
}

ModelHarness::~ModelHarness() = default;

std::vector<const Graph*> ModelHarness::Graphs() const {
    return {slots[0].graph.get(), slots[1].graph.get()};
}

std::string ModelHarness::Name(const GUID& id) {
    const auto& names = GetPools().names;
    auto found = names.find(id);
    return found != names.end() ? found->second : GUIDToString(id).substr(0, 8);
}

const std::vector<GUID>& ModelHarness::NodePool() {
    return GetPools().nodes;
}

const std::vector<GUID>& ModelHarness::PinPool() {
    return GetPools().pins;
}

std::vector<std::string> ModelHarness::Log() const {
    std::vector<std::string> lines;
    lines.reserve(log.size());
    for (const LogEntry& entry : log) {
        lines.push_back("#" + std::to_string(entry.operation) + " " + entry.describe());
    }
    return lines;
}

void ModelHarness::Step() {
    ++totals.operations;
    const std::size_t index = choices.Chance(80) ? 0 : 1;
    Slot& slot = slots[index];
    // Weights in thousandths, chosen so that graphs grow to several linked nodes between the
    // rarer operations that empty them.
    const std::uint32_t roll = choices.Below(1000);
    if (roll < 165) {
        CreateNode(slot);
    } else if (roll < 190) {
        DestroyNode(slot);
    } else if (roll < 230) {
        CreatePin(slot);
    } else if (roll < 260) {
        DestroyPin(slot);
    } else if (roll < 430) {
        LinkPins(slot);
    } else if (roll < 465) {
        UnlinkPins(slot);
    } else if (roll < 490) {
        UnlinkInputPin(slot);
    } else if (roll < 600) {
        PutData(slot);
    } else if (roll < 640) {
        SetMark(slot);
    } else if (roll < 670) {
        SetNodeFlag(slot);
    } else if (roll < 700) {
        AssignSubgraph(slot);
    } else if (roll < 870) {
        Traverse(slot);
    } else if (roll < 890) {
        Hostile(index);
    } else if (roll < 930) {
        ExecuteNode(slot);
    } else if (roll < 945) {
        FindNodes(slot);
    } else if (roll < 965) {
        CopyGraph(index, choices.Chance(80) ? 1 : index);
    } else if (roll < 985) {
        AssignGraph(index, choices.Chance(80) ? 1 : index);
    } else if (roll < 993) {
        Clear(slot);
    } else {
        ResetGraph(slot);
    }
    for (const Graph* graph : Graphs()) {
        const std::string violation = FindStoreViolation(*graph);
        if (!violation.empty()) {
            throw ModelMismatch(violation);
        }
    }
    // Copying and assigning touch both graphs; other operations touch one, and the other graph
    // is compared again whenever an operation touches it (and at the end, by the caller).
    if (!compareEachStep) {
        return;
    }
    const bool bothTouched = roll >= 945 && roll < 985;
    CompareAll(slots[index], true);
    if (bothTouched) {
        CompareAll(slots[1 - index], true);
    }
}

void ModelHarness::CompareEverything() {
    CompareAll(slots[0], true);
    CompareAll(slots[1], true);
}

GUID ModelHarness::PickNode(const Slot& slot, std::uint32_t existingPercent) {
    if (!slot.model.nodes.empty() && choices.Chance(existingPercent)) {
        return PickFrom(choices, slot.model.nodes).first;
    }
    return PickFrom(choices, GetPools().nodes);
}

GUID ModelHarness::PickPin(const Slot& slot, std::uint32_t existingPercent) {
    if (!slot.model.pins.empty() && choices.Chance(existingPercent)) {
        return PickFrom(choices, slot.model.pins).first;
    }
    return PickFrom(choices, GetPools().pins);
}

GUID ModelHarness::PickFreePin(const Slot& slot, const FewIds& taken) {
    GUID pin = PickFrom(choices, GetPools().pins);
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (slot.model.pins.count(pin) == 0 && !taken.Contains(pin)) {
            break;
        }
        pin = PickFrom(choices, GetPools().pins);
    }
    return pin;
}

std::pair<GUID, GUID> ModelHarness::PickLink(const GraphModel& model) {
    // Links in any other orientation stop every traversal of the graph, so they go first.
    std::vector<std::pair<GUID, GUID>> odd;
    for (const auto& link : model.links) {
        if (!model.pins.at(link.first).isOutput || model.pins.at(link.second).isOutput ||
            !(model.pins.at(link.first).owner < model.pins.at(link.second).owner)) {
            odd.push_back(link);
        }
    }
    return !odd.empty() && choices.Chance(70) ? PickFrom(choices, odd)
                                              : PickFrom(choices, model.links);
}

GUID ModelHarness::PickSubgraph() {
    return PickFrom(choices, GetPools().subgraphs);
}

std::shared_ptr<const IDataValue> ModelHarness::ValueFor(const std::type_info& pinType) {
    const ValueKind kind = KindOf(pinType);
    const std::uint32_t roll = choices.Below(100);
    if (roll >= 90) {
        return nullptr;
    }
    if (roll >= 60 && roll < 72 && !recentValues.empty()) {
        return PickFrom(choices, recentValues);
    }
    const ValueKind made = roll < 72 ? kind : roll < 82 ? OtherKind(kind) : RelatedKind(kind);
    auto value = MakeValue(made, nextContent++);
    if (recentValues.size() < 16) {
        recentValues.push_back(value);
    } else {
        recentValues[choices.Below(16)] = value;
    }
    return value;
}

std::shared_ptr<INodeFunction> ModelHarness::NewFunction(const Slot& slot) {
    // Now and then a function that already sits in a graph: shared by two graphs, or clashing
    // with its own node.
    if (choices.Chance(8)) {
        const Slot& holder = slots[choices.Below(2)];
        if (!holder.model.nodes.empty()) {
            auto found =
                createdFunctions.find(PickFrom(choices, holder.model.nodes).second.function);
            if (found != createdFunctions.end()) {
                return found->second;
            }
        }
    }
    auto script = std::make_shared<FunctionScript>();
    script->id = PickNode(slot, 0);
    for (int attempt = 0; attempt < 4 && slot.model.nodes.count(script->id) != 0; ++attempt) {
        script->id = PickNode(slot, 0);
    }
    script->name = "f" + std::to_string(createdFunctions.size());
    FewIds taken;
    // Mostly one to three pins a side, so that nodes can be linked into chains.
    for (std::uint32_t i = choices.Chance(80) ? 1 + choices.Below(3) : 0; i > 0; --i) {
        const GUID pin = choices.Chance(90) ? PickFreePin(slot, taken) : PickPin(slot, 50);
        if (taken.Insert(pin)) {
            script->inputs.emplace_back(pin, RandomKind(choices));
        }
    }
    FewIds outputIds;
    for (std::uint32_t i = choices.Chance(80) ? 1 + choices.Below(3) : 0; i > 0; --i) {
        GUID pin = choices.Chance(90) ? PickFreePin(slot, taken) : PickPin(slot, 50);
        if (!script->inputs.empty() && choices.Chance(5)) {
            pin = PickFrom(choices, script->inputs).first; // both schemas share an id
        }
        if (outputIds.Insert(pin)) {
            taken.Insert(pin);
            script->outputs.emplace_back(pin, RandomKind(choices));
        }
    }
    const std::uint32_t roll = choices.Below(1000);
    script->action = roll < 660   ? Action::Return
                     : roll < 730 ? Action::ThrowGraphException
                     : roll < 770 ? Action::ThrowHostError
                     : roll < 810 ? Action::DestroyOwnNode
                     : roll < 860 ? Action::DestroyAnotherNode
                     : roll < 870 ? Action::ClearOwnGraph
                     : roll < 940 ? Action::TraverseOwnGraphAndCatch
                                  : Action::TraverseOwnGraphAndRethrow;
    script->target = PickNode(slot, 70);
    FewIds ruled;
    for (const auto& [pin, kind] : script->outputs) {
        if (!choices.Chance(75)) {
            continue;
        }
        OutputRule rule{pin, nullptr, false, GUID{}};
        const std::uint32_t pick = choices.Below(100);
        if (pick < 86) {
            const ValueKind made = pick < 68   ? kind
                                   : pick < 76 ? OtherKind(kind)
                                               : RelatedKind(kind);
            rule.value = pick < 82 ? MakeValue(made, nextContent++) : nullptr;
        } else if (!script->inputs.empty()) {
            rule.fromInput = true;
            rule.input = PickFrom(choices, script->inputs).first;
        } else {
            rule.value = MakeValue(kind, nextContent++);
        }
        ruled.Insert(pin);
        script->rules.push_back(rule);
    }
    if (choices.Chance(6)) {
        // An output entry for an input pin, another node's pin or no pin at all.
        const GUID pin = !script->inputs.empty() && choices.Chance(50)
                             ? PickFrom(choices, script->inputs).first
                             : PickPin(slot, 50);
        if (ruled.Insert(pin)) {
            script->rules.push_back({pin, MakeValue(ValueKind::A, nextContent++), false, GUID{}});
        }
    }
    script->cloneReturnsNothing = choices.Chance(3);
    auto function = std::make_shared<ScriptedFunction>(script, context);
    createdFunctions[function.get()] = function;
    return function;
}

} // namespace datagraph::reliability
