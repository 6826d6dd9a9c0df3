#include "HarnessChoices.h"
#include "ModelHarness.h"

#include <datagraph/Graph.h>

#include <algorithm>

// Host code that edits the graph calling it: a value whose type check destroys a node, a value
// whose destructor destroys the node of its pin, and node functions whose Execute or Clone edit
// their graph. Each outcome is predicted from the model; where the graph chooses an order (the
// nodes a copy clones first) the model follows the hooks' own record of what ran.

namespace datagraph::reliability {
namespace {

constexpr const char* kPinDestroyed = "The pin was destroyed while its new value was checked.";
constexpr const char* kChangedWhileCopied = "The graph was changed while it was being copied.";

/// The model's reference to a value that the graph alone may keep alive: its destructor is the
/// host code under test, so it must run when the graph lets go.
std::shared_ptr<const IDataValue> NotOwning(const std::shared_ptr<const IDataValue>& value) {
    return std::shared_ptr<const IDataValue>(std::shared_ptr<const IDataValue>(), value.get());
}

bool HasEntries(const GraphModel& model, const GUID& node) {
    return std::any_of(model.subgraphEntries.begin(), model.subgraphEntries.end(),
                       [&](const auto& entry) { return entry.second == node; });
}

} // namespace

void ModelHarness::Hostile(std::size_t index) {
    Slot& slot = slots[index];
    switch (choices.Below(4)) {
    case 0:
        return WriteValueWhoseTypeCheckDestroys(slot);
    case 1:
        return WriteValueWhoseDestructorDestroys(index);
    case 2:
        return InstallExecuteHook(slot);
    default:
        return InstallCloneHook(slot);
    }
}

void ModelHarness::WriteValueWhoseTypeCheckDestroys(Slot& slot) {
    GraphModel& model = slot.model;
    const GUID pin = PickPin(slot, 92);
    auto target = model.pins.find(pin);
    const bool present = target != model.pins.end();
    const GUID owner = present ? target->second.owner : GUID{};
    const GUID victim = present && choices.Chance(60) ? owner : PickNode(slot, 80);
    ValueKind kind = present ? KindOf(*target->second.type) : ValueKind::A;
    if (choices.Chance(15)) {
        kind = OtherKind(kind);
    }
    const bool throughPin = choices.Chance(30);
    Record([pin, victim, throughPin] {
        return std::string(throughPin ? "GetTraversablePin(" + Name(pin) + ").SetData("
                                      : "PutDataOnPin(" + Name(pin) + ", ") +
               "value whose GetType destroys " + Name(victim) + ")";
    });
    bool fired = false;
    Graph* graph = slot.graph.get();
    std::shared_ptr<const IDataValue> value = std::make_shared<const HostileValue>(
        kind, nextContent++,
        [graph, victim, &fired] {
            fired = true;
            graph->DestroyNode(victim);
        },
        nullptr);
    const Outcome actual = Capture([&] {
        throughPin ? slot.graph->GetTraversablePin(pin).SetData(value)
                   : slot.graph->PutDataOnPin(pin, value);
    });
    if (!present) {
        Check(!fired, "the type of a value for an absent pin was checked", pin);
        return Expect(actual, Outcome::Kind::OutOfRange, "invalid unordered_map<K, T> key");
    }
    Check(fired, "a new value's type was not checked", pin);
    ++totals.hostileCallbacks;
    const std::type_info& type = *target->second.type;
    model.DestroyNode(victim);
    if (victim == owner) {
        return Expect(actual, Outcome::Kind::GraphException, kPinDestroyed);
    }
    if (TypeOf(kind) != type) {
        return Expect(actual, Outcome::Kind::GraphException, "Data value has incorrect type");
    }
    Expect(actual, Outcome::Kind::None);
    model.SetValue(pin, value);
}

void ModelHarness::WriteValueWhoseDestructorDestroys(std::size_t index) {
    Slot& slot = slots[index];
    if (slot.model.pins.empty()) {
        Record([] { return std::string("(no pin for a value that destroys its node)"); });
        return;
    }
    const auto picked = PickFrom(choices, slot.model.pins);
    const GUID pin = picked.first;
    const ModelPin& record = picked.second;
    const GUID owner = record.owner;
    const bool isOutput = record.isOutput;
    const ValueKind kind = KindOf(*record.type);
    const Slot& other = slots[1 - index];
    const bool otherCopies =
        std::none_of(other.model.nodes.begin(), other.model.nodes.end(), [](const auto& entry) {
            return entry.second.script->cloneReturnsNothing ||
                   entry.second.script->hooks.onClone != HostileHooks::OnClone::None;
        });
    // How the graph lets go of the value: the pin gets another value, the pin, its node or every
    // node is destroyed, the other graph is assigned over this one, or the graph dies (the value
    // then finds no graph to edit).
    std::uint32_t release = choices.Below(6);
    if (release == 4 && !otherCopies) {
        release = 0;
    }
    static const char* const releases[] = {"PutDataOnPin", "DestroyPin", "DestroyNode",
                                           "Clear",        "g = other",  "reset"};
    Record([pin, owner, release] {
        return "PutDataOnPin(" + Name(pin) + ", value whose destructor destroys " + Name(owner) +
               "), then " + releases[release];
    });
    auto deaths = std::make_shared<int>(0);
    std::weak_ptr<Graph> weakGraph = slot.graph;
    std::shared_ptr<const IDataValue> value = std::make_shared<const HostileValue>(
        kind, nextContent++, nullptr, [weakGraph, owner, deaths] {
            ++*deaths;
            if (std::shared_ptr<Graph> graph = weakGraph.lock()) {
                graph->DestroyNode(owner);
            }
        });
    Expect(Capture([&] { slot.graph->PutDataOnPin(pin, value); }), Outcome::Kind::None);
    slot.model.SetValue(pin, NotOwning(value));
    value.reset();
    Check(*deaths == 0, "a value died while a pin held it", pin);

    GraphModel& model = slot.model;
    switch (release) {
    case 0: {
        const std::shared_ptr<const IDataValue> replacement = MakeValue(kind, nextContent++);
        Expect(Capture([&] { slot.graph->PutDataOnPin(pin, replacement); }), Outcome::Kind::None);
        model.SetValue(pin, replacement);
        break;
    }
    case 1:
        Expect(Capture([&] {
                   isOutput ? slot.graph->DestroyOutputPin(owner, pin)
                            : slot.graph->DestroyInputPin(owner, pin);
               }),
               Outcome::Kind::None);
        model.RemovePin(pin);
        break;
    case 2:
        Expect(Capture([&] { slot.graph->DestroyNode(owner); }), Outcome::Kind::None);
        break;
    case 3: {
        const Outcome actual = Capture([&] { slot.graph->Clear(); });
        while (!model.nodes.empty()) {
            model.DestroyNode(model.nodes.begin()->first);
        }
        if (!model.subgraphEntries.empty()) {
            Expect(actual, Outcome::Kind::GraphException,
                   "All nodes should have already been removed.");
        } else {
            Expect(actual, Outcome::Kind::None);
        }
        break;
    }
    case 4: {
        Expect(Capture([&] { *slot.graph = *other.graph; }), Outcome::Kind::None);
        GraphModel expected = other.model;
        expected.DestroyNode(owner);
        model = BindCopy(expected, *slot.graph);
        break;
    }
    default: {
        const GUID subgraph = model.defaultSubgraph;
        slot.graph = std::make_shared<Graph>(subgraph);
        model = GraphModel(subgraph);
        break;
    }
    }
    Check(*deaths == 1, "a value did not die once its graph let go of it", pin);
    ++totals.hostileCallbacks;
    if (release != 5) {
        model.DestroyNode(owner);
    }
}

void ModelHarness::InstallExecuteHook(Slot& slot) {
    if (slot.model.nodes.empty()) {
        Record([] { return std::string("(no node for an Execute hook)"); });
        return;
    }
    const auto& [id, node] = PickFrom(choices, slot.model.nodes);
    HostileHooks& hooks = node.script->hooks;
    const std::uint32_t way = choices.Below(3);
    hooks.onExecute = way == 0   ? HostileHooks::OnExecute::CreateNode
                      : way == 1 ? HostileHooks::OnExecute::WritePin
                                 : HostileHooks::OnExecute::DestroyNode;
    switch (hooks.onExecute) {
    case HostileHooks::OnExecute::CreateNode: {
        auto spawned = std::make_shared<FunctionScript>();
        spawned->id = PickNode(slot, 20);
        spawned->name = "made by " + node.script->name;
        hooks.executeTarget = spawned->id;
        hooks.spawned = std::move(spawned);
        break;
    }
    case HostileHooks::OnExecute::WritePin: {
        hooks.executeTarget = PickPin(slot, 90);
        auto target = slot.model.pins.find(hooks.executeTarget);
        const ValueKind kind = target != slot.model.pins.end() && choices.Chance(85)
                                   ? KindOf(*target->second.type)
                                   : RandomKind(choices);
        hooks.written = MakeValue(kind, nextContent++);
        break;
    }
    default:
        hooks.executeTarget = PickNode(slot, 70);
        break;
    }
    Record([id = id, way, target = hooks.executeTarget] {
        static const char* const ways[] = {"creates node ", "writes pin ", "destroys node "};
        return "Execute hook of " + Name(id) + ": " + ways[way] + Name(target);
    });
}

void ModelHarness::InstallCloneHook(Slot& slot) {
    std::vector<GUID> candidates;
    for (const auto& [id, node] : slot.model.nodes) {
        // A clone that yields nothing fails the copy by itself; its hook would race that check.
        if (!node.script->cloneReturnsNothing) {
            candidates.push_back(id);
        }
    }
    if (candidates.empty()) {
        Record([] { return std::string("(no node for a Clone hook)"); });
        return;
    }
    const GUID id = PickFrom(choices, candidates);
    HostileHooks& hooks = slot.model.nodes.at(id).script->hooks;
    const std::uint32_t way = choices.Below(3);
    hooks.onClone = way == 0   ? HostileHooks::OnClone::DestroyOwnNode
                    : way == 1 ? HostileHooks::OnClone::DestroyNode
                               : HostileHooks::OnClone::AssignToGraph;
    hooks.cloneTarget = PickNode(slot, 70);
    Record([id, way, target = hooks.cloneTarget] {
        static const char* const ways[] = {"destroys its own node", "destroys node ",
                                           "assigns to its graph"};
        return "Clone hook of " + Name(id) + ": " + ways[way] + (way == 1 ? Name(target) : "");
    });
}

bool ModelHarness::FollowCloneHooks(GraphModel& source) {
    bool changed = false;
    for (const CloneEvent& event : context->clones) {
        Check(!changed, "a node function was cloned after a hook changed the graph", event.node);
        auto node = source.nodes.find(event.node);
        Check(node != source.nodes.end() &&
                  node->second.script->hooks.onClone != HostileHooks::OnClone::None,
              "a Clone hook ran for a node that has none", event.node);
        const HostileHooks& hooks = node->second.script->hooks;
        ++totals.hostileCallbacks;
        switch (hooks.onClone) {
        case HostileHooks::OnClone::None:
            break;
        case HostileHooks::OnClone::DestroyOwnNode:
            source.DestroyNode(event.node);
            changed = true;
            break;
        case HostileHooks::OnClone::DestroyNode: {
            const GUID target = hooks.cloneTarget;
            changed = source.nodes.count(target) != 0 || HasEntries(source, target);
            source.DestroyNode(target);
            break;
        }
        case HostileHooks::OnClone::AssignToGraph:
            Check(event.refusal == kChangedWhileCopied,
                  "assigning to a graph being copied was not refused", event.node);
            changed = true;
            break;
        }
    }
    return changed;
}

void ModelHarness::CheckCloneHooksRan(const GraphModel& source) {
    std::vector<GUID> hooked;
    for (const auto& [id, node] : source.nodes) {
        if (node.script->hooks.onClone != HostileHooks::OnClone::None) {
            hooked.push_back(id);
        }
    }
    std::vector<GUID> ran;
    for (const CloneEvent& event : context->clones) {
        ran.push_back(event.node);
    }
    std::sort(ran.begin(), ran.end());
    Check(ran == hooked, "a copy did not run the Clone hook of each hooked node once");
}

void ModelHarness::FollowExecuteHook(GraphModel& model, const TraceEntry& entry,
                                     const FunctionScript& script) {
    const HostileHooks& hooks = script.hooks;
    const GUID target = hooks.executeTarget;
    bool creates = false;
    bool writes = false;
    totals.hostileCallbacks += hooks.onExecute != HostileHooks::OnExecute::None ? 1 : 0;
    switch (hooks.onExecute) {
    case HostileHooks::OnExecute::None:
        break;
    case HostileHooks::OnExecute::CreateNode:
        creates = model.nodes.count(target) == 0;
        if (creates && entry.spawned != nullptr) {
            ModelNode& made = model.nodes[target];
            made.function = entry.spawned;
            made.script = hooks.spawned;
            model.subgraphEntries.emplace_back(model.defaultSubgraph, target);
        }
        break;
    case HostileHooks::OnExecute::WritePin: {
        auto pin = model.pins.find(target);
        const bool reaches =
            pin != model.pins.end() && (pin->second.owner == entry.node ||
                                        model.OutputNodes(entry.node).count(pin->second.owner));
        const auto* written = AsModelValue(hooks.written.get());
        writes = reaches && written != nullptr && TypeOf(written->Kind()) == *pin->second.type;
        if (writes) {
            model.SetValue(target, hooks.written);
        }
        break;
    }
    case HostileHooks::OnExecute::DestroyNode:
        model.DestroyNode(target);
        break;
    }
    Check((entry.spawned != nullptr) == creates, "an Execute hook made another node than expected",
          entry.node);
    Check(entry.hookWrote == writes, "an Execute hook's write went otherwise than expected",
          entry.node);
}

void ModelHarness::BindMadeNodes(Slot& slot) {
    for (auto& [id, node] : slot.model.nodes) {
        if (node.object == nullptr) {
            Check(slot.graph->HasNode(id), "a node made by an Execute hook is missing", id);
            node.object = &slot.graph->GetConstNode(id);
        }
    }
}

} // namespace datagraph::reliability
