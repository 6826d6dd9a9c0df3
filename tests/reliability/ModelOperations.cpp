#include "HarnessChoices.h"
#include "ModelHarness.h"

#include <datagraph/Graph.h>

#include <algorithm>
#include <tuple>

// The operations other than running nodes: each makes the request of the real graph, works out
// from the model what the request must have done, checks the outcome and updates the model.

namespace datagraph::reliability {

void ModelHarness::CreateNode(Slot& slot) {
    const GUID subgraph = choices.Chance(70) ? GetNullGUID() : PickSubgraph();
    std::shared_ptr<INodeFunction> function = choices.Chance(4) ? nullptr : NewFunction(slot);
    const auto* scripted = dynamic_cast<const ScriptedFunction*>(function.get());
    Record([script = scripted ? scripted->SharedScript() : nullptr, subgraph] {
        return "CreateNode(" + (script ? script->name + " " + Name(script->id) : "null") + ", " +
               Name(subgraph) + ")";
    });
    const Outcome actual = Capture([&] { slot.graph->CreateNode(function, subgraph); });
    GraphModel& model = slot.model;
    if (!scripted) {
        return Expect(actual, Outcome::Kind::GraphException, "Node function cannot be null");
    }
    const FunctionScript& script = scripted->Script();
    if (model.nodes.count(script.id) != 0) {
        return Expect(actual, Outcome::Kind::GraphException,
                      "GUID is already assigned to an existing node.");
    }
    bool clash = false;
    FewIds inputIds;
    for (const auto& input : script.inputs) {
        clash = clash || model.pins.count(input.first) != 0;
        inputIds.Insert(input.first);
    }
    for (const auto& output : script.outputs) {
        clash = clash || model.pins.count(output.first) != 0 || inputIds.Contains(output.first);
    }
    if (clash) {
        return Expect(actual, Outcome::Kind::GraphException,
                      "Requested pin id is already being used by another pin.");
    }
    Expect(actual, Outcome::Kind::None);
    ModelNode& node = model.nodes[script.id];
    node.function = function.get();
    node.script = scripted->SharedScript();
    for (const auto& [pin, kind] : script.inputs) {
        model.AddPin(script.id, pin, TypeOf(kind), false);
    }
    for (const auto& [pin, kind] : script.outputs) {
        model.AddPin(script.id, pin, TypeOf(kind), true);
    }
    model.subgraphEntries.emplace_back(subgraph == GetNullGUID() ? model.defaultSubgraph : subgraph,
                                       script.id);
    Check(slot.graph->HasNode(script.id), "the created node is missing", script.id);
    node.object = &slot.graph->GetConstNode(script.id);
}

void ModelHarness::DestroyNode(Slot& slot) {
    const GUID node = PickNode(slot, 85);
    Record([node] { return "DestroyNode(" + Name(node) + ")"; });
    Expect(Capture([&] { slot.graph->DestroyNode(node); }), Outcome::Kind::None);
    slot.model.DestroyNode(node);
}

void ModelHarness::CreatePin(Slot& slot) {
    const bool output = choices.Chance(50);
    const GUID node = PickNode(slot, 90);
    const GUID pin = choices.Chance(80) ? PickFreePin(slot, {}) : PickPin(slot, 70);
    const std::type_info& type = TypeOf(RandomKind(choices));
    Record([output, node, pin] {
        return std::string(output ? "CreateOutputPin(" : "CreateInputPin(") + Name(node) + ", " +
               Name(pin) + ")";
    });
    const Outcome actual = Capture([&] {
        output ? slot.graph->CreateOutputPin(node, pin, type)
               : slot.graph->CreateInputPin(node, pin, type);
    });
    if (slot.model.nodes.count(node) == 0) {
        return Expect(actual, Outcome::Kind::GraphException, "Node does not exist");
    }
    if (slot.model.pins.count(pin) != 0) {
        return Expect(actual, Outcome::Kind::GraphException,
                      "Requested pin id is already being used by another pin.");
    }
    Expect(actual, Outcome::Kind::None);
    slot.model.AddPin(node, pin, type, output);
}

void ModelHarness::DestroyPin(Slot& slot) {
    const bool output = choices.Chance(50);
    const GUID node = PickNode(slot, 90);
    GUID pin = PickPin(slot, 80);
    auto owner = slot.model.nodes.find(node);
    if (owner != slot.model.nodes.end() && choices.Chance(75)) {
        const IdSet& own = output ? owner->second.outputs : owner->second.inputs;
        if (!own.empty()) {
            pin = PickFrom(choices, own);
        }
    }
    Record([output, node, pin] {
        return std::string(output ? "DestroyOutputPin(" : "DestroyInputPin(") + Name(node) + ", " +
               Name(pin) + ")";
    });
    const Outcome actual = Capture([&] {
        output ? slot.graph->DestroyOutputPin(node, pin) : slot.graph->DestroyInputPin(node, pin);
    });
    if (owner == slot.model.nodes.end()) {
        return Expect(actual, Outcome::Kind::GraphException,
                      "The node must exist for us to destroy its pin.");
    }
    if ((output ? owner->second.outputs : owner->second.inputs).count(pin) == 0) {
        return Expect(actual, Outcome::Kind::GraphException, "");
    }
    Expect(actual, Outcome::Kind::None);
    slot.model.RemovePin(pin);
}

void ModelHarness::LinkPins(Slot& slot) {
    GraphModel& model = slot.model;
    GUID upstream = PickPin(slot, 90);
    GUID downstream = PickPin(slot, 90);
    if (choices.Chance(94)) {
        // Mostly an output pin to a free input pin of a node later in GUID order, which keeps
        // the graph free of cycles and so runnable; the picks above give every other
        // orientation, and are kept only now and then when no such pair exists.
        std::vector<std::pair<GUID, GUID>> pairs;
        pairs.reserve(model.pins.size() * model.pins.size() / 4 + 1);
        for (const auto& [outputId, output] : model.pins) {
            for (const auto& [inputId, input] : model.pins) {
                if (output.isOutput && !input.isOutput && output.owner < input.owner &&
                    !model.HasUpstream(inputId)) {
                    pairs.emplace_back(outputId, inputId);
                }
            }
        }
        if (!pairs.empty()) {
            std::tie(upstream, downstream) = PickFrom(choices, pairs);
        } else if (choices.Chance(75)) {
            upstream = PickFrom(choices, GetPools().pins);
        }
    }
    if (choices.Chance(1)) {
        downstream = upstream;
    }
    Record([upstream, downstream] {
        return "LinkPins(" + Name(upstream) + ", " + Name(downstream) + ")";
    });
    const Outcome actual = Capture([&] { slot.graph->LinkPins(upstream, downstream); });
    if (model.pins.count(upstream) == 0) {
        return Expect(actual, Outcome::Kind::GraphException, "Output pin does not exist.");
    }
    if (model.pins.count(downstream) == 0) {
        return Expect(actual, Outcome::Kind::GraphException, "Input pin does not exist.");
    }
    if (model.HasUpstream(downstream)) {
        if (model.Upstream(downstream) == upstream) {
            return Expect(actual, Outcome::Kind::None);
        }
        return Expect(actual, Outcome::Kind::GraphException,
                      "The input pin is already connected to a different upstream output pin.");
    }
    Expect(actual, Outcome::Kind::None);
    model.links.emplace_back(upstream, downstream);
}

void ModelHarness::UnlinkPins(Slot& slot) {
    GraphModel& model = slot.model;
    GUID upstream = PickPin(slot, 85);
    GUID downstream = PickPin(slot, 85);
    if (!model.links.empty() && choices.Chance(60)) {
        std::tie(upstream, downstream) = PickLink(model);
    }
    Record([upstream, downstream] {
        return "UnlinkPins(" + Name(upstream) + ", " + Name(downstream) + ")";
    });
    const Outcome actual = Capture([&] { slot.graph->UnlinkPins(upstream, downstream); });
    if (!model.HasUpstream(downstream) || model.Upstream(downstream) != upstream) {
        return Expect(actual, Outcome::Kind::GraphException, "");
    }
    Expect(actual, Outcome::Kind::None);
    model.RemoveLink(downstream);
}

void ModelHarness::UnlinkInputPin(Slot& slot) {
    GraphModel& model = slot.model;
    GUID downstream = PickPin(slot, 85);
    if (!model.links.empty() && choices.Chance(60)) {
        downstream = PickLink(model).second;
    }
    Record([downstream] { return "UnlinkInputPin(" + Name(downstream) + ")"; });
    Expect(Capture([&] { slot.graph->UnlinkInputPin(downstream); }), Outcome::Kind::None);
    // The null GUID stands for "no upstream pin", so a link from a pin whose id is the null
    // GUID is out of this operation's reach.
    if (model.Upstream(downstream) != GetNullGUID()) {
        model.RemoveLink(downstream);
    }
}

void ModelHarness::PutData(Slot& slot) {
    GraphModel& model = slot.model;
    const GUID pin = PickPin(slot, 92);
    auto target = model.pins.find(pin);
    const std::type_info& type = target != model.pins.end() ? *target->second.type : typeid(ValueA);
    const std::shared_ptr<const IDataValue> value = ValueFor(type);
    const bool throughPin = choices.Chance(30);
    const auto* described = AsModelValue(value.get());
    Record([throughPin, pin, content = described ? described->Content() : 0, empty = !described] {
        return std::string(throughPin ? "GetTraversablePin(" + Name(pin) + ").SetData("
                                      : "PutDataOnPin(" + Name(pin) + ", ") +
               (empty ? "empty" : "v" + std::to_string(content)) + ")";
    });
    const Outcome actual = Capture([&] {
        throughPin ? slot.graph->GetTraversablePin(pin).SetData(value)
                   : slot.graph->PutDataOnPin(pin, value);
    });
    if (target == model.pins.end()) {
        return Expect(actual, Outcome::Kind::OutOfRange, "invalid unordered_map<K, T> key");
    }
    if (!value) {
        return Expect(actual, Outcome::Kind::GraphException, "Data value cannot be null");
    }
    if (TypeOf(described->Kind()) != type) {
        return Expect(actual, Outcome::Kind::GraphException, "Data value has incorrect type");
    }
    Expect(actual, Outcome::Kind::None);
    model.SetValue(pin, value);
}

void ModelHarness::SetMark(Slot& slot) {
    const GUID pin = PickPin(slot, 92);
    const bool mark = choices.Chance(50);
    Record([pin, mark] {
        return "GetTraversablePin(" + Name(pin) + ").SetUpdatedData(" + (mark ? "true" : "false") +
               ")";
    });
    const Outcome actual =
        Capture([&] { slot.graph->GetTraversablePin(pin).SetUpdatedData(mark); });
    auto target = slot.model.pins.find(pin);
    if (target == slot.model.pins.end()) {
        return Expect(actual, Outcome::Kind::OutOfRange, "invalid unordered_map<K, T> key");
    }
    Expect(actual, Outcome::Kind::None);
    target->second.mark = mark;
}

void ModelHarness::SetNodeFlag(Slot& slot) {
    const GUID node = PickNode(slot, 90);
    const bool flag = choices.Chance(50);
    const std::uint32_t way = choices.Below(3);
    static const char* const ways[] = {"SetDirty", "GetTraversableNode().SetDirty",
                                       "GetNodes()[].SetDisabled"};
    Record([way, node, flag] {
        return std::string(ways[way]) + "(" + Name(node) + ", " + (flag ? "true" : "false") + ")";
    });
    auto target = slot.model.nodes.find(node);
    if (way == 2) {
        const Graph::NodeMap nodes = slot.graph->GetNodes();
        auto found = nodes.find(node);
        Check((found != nodes.end()) == (target != slot.model.nodes.end()),
              "GetNodes disagrees about a node", node);
        if (found != nodes.end()) {
            found->second->SetDisabled(flag);
            target->second.disabled = flag;
        }
        return;
    }
    const Outcome actual = Capture([&] {
        way == 0 ? slot.graph->SetDirty(node, flag)
                 : slot.graph->GetTraversableNode(node).SetDirty(flag);
    });
    if (target == slot.model.nodes.end()) {
        return Expect(actual, Outcome::Kind::OutOfRange, "invalid unordered_map<K, T> key");
    }
    Expect(actual, Outcome::Kind::None);
    target->second.dirty = flag;
}

void ModelHarness::AssignSubgraph(Slot& slot) {
    const GUID node = PickNode(slot, 70);
    const GUID subgraph = PickSubgraph();
    Record([node, subgraph] {
        return "AssignNodeToExecutionSubgraphs(" + Name(node) + ", " + Name(subgraph) + ")";
    });
    Expect(Capture([&] { slot.graph->AssignNodeToExecutionSubgraphs(node, subgraph); }),
           Outcome::Kind::None);
    slot.model.subgraphEntries.emplace_back(subgraph, node);
}

void ModelHarness::FindNodes(Slot& slot) {
    const GraphModel& model = slot.model;
    const std::uint32_t way = choices.Below(10);
    if (way < 6) {
        std::set<GUID> wanted;
        for (const GUID& id : GetPools().nodes) {
            if (choices.Chance(50)) {
                wanted.insert(id);
            }
        }
        Record([count = wanted.size()] {
            return "FindNodes(id in a set of " + std::to_string(count) + ")";
        });
        std::size_t calls = 0;
        IdentifierList found;
        Expect(Capture([&] {
                   found = slot.graph->FindNodes([&](const INodeFunction& function) {
                       ++calls;
                       return wanted.count(function.GetId()) != 0;
                   });
               }),
               Outcome::Kind::None);
        std::vector<GUID> expected;
        for (const auto& entry : model.nodes) {
            if (wanted.count(entry.first) != 0) {
                expected.push_back(entry.first);
            }
        }
        std::sort(found.begin(), found.end());
        Check(calls == model.nodes.size(), "FindNodes did not ask once per node");
        Check(found == expected, "FindNodes found other nodes");
        return;
    }
    const bool throwing = way < 8;
    Record([throwing] {
        return std::string(throwing ? "FindNodes(throwing predicate)"
                                    : "FindNodes(empty predicate)");
    });
    const Outcome actual = Capture([&] {
        if (throwing) {
            slot.graph->FindNodes(
                [](const INodeFunction&) -> bool { throw ScriptedHostError("predicate refused"); });
        } else {
            slot.graph->FindNodes(std::function<bool(const INodeFunction&)>());
        }
    });
    if (model.nodes.empty()) {
        return Expect(actual, Outcome::Kind::None);
    }
    Expect(actual, throwing ? Outcome::Kind::HostError : Outcome::Kind::BadFunctionCall,
           throwing ? "predicate refused" : "");
}

void ModelHarness::Clear(Slot& slot) {
    Record([] { return std::string("Clear()"); });
    const Outcome actual = Capture([&] { slot.graph->Clear(); });
    GraphModel& model = slot.model;
    while (!model.nodes.empty()) {
        model.DestroyNode(model.nodes.begin()->first);
    }
    // Entries for ids that never were nodes outlive the nodes and make Clear complain.
    if (!model.subgraphEntries.empty()) {
        return Expect(actual, Outcome::Kind::GraphException,
                      "All nodes should have already been removed.");
    }
    Expect(actual, Outcome::Kind::None);
}

void ModelHarness::ResetGraph(Slot& slot) {
    const GUID subgraph = PickSubgraph();
    const bool throughFactory = choices.Chance(50);
    Record([throughFactory, subgraph] {
        return std::string(throughFactory ? "CreateGraph(" : "Graph(") + Name(subgraph) + ")";
    });
    if (throughFactory) {
        slot.graph = std::dynamic_pointer_cast<Graph>(CreateGraph(subgraph));
        Check(slot.graph != nullptr, "CreateGraph made something other than a Graph");
    } else {
        slot.graph = std::make_shared<Graph>(subgraph);
    }
    slot.model = GraphModel(subgraph);
}

void ModelHarness::CopyGraph(std::size_t from, std::size_t to) {
    Record([from, to] {
        return "g" + std::to_string(to) + " = Graph(g" + std::to_string(from) + ")";
    });
    GraphModel& source = slots[from].model;
    std::shared_ptr<Graph> copy;
    context->clones.clear();
    context->graph = slots[from].graph.get();
    const Outcome actual = Capture([&] { copy = std::make_shared<Graph>(*slots[from].graph); });
    context->graph = nullptr;
    if (FollowCloneHooks(source)) {
        Check(copy == nullptr, "a copy that a Clone hook changed produced a graph");
        return Expect(actual, Outcome::Kind::GraphException,
                      "The graph was changed while it was being copied.");
    }
    for (const auto& entry : source.nodes) {
        if (entry.second.script->cloneReturnsNothing) {
            Check(copy == nullptr, "a failed copy construction produced a graph");
            return Expect(actual, Outcome::Kind::GraphException, "Node functions cannot be null");
        }
    }
    Expect(actual, Outcome::Kind::None);
    CheckCloneHooksRan(source);
    GraphModel bound = BindCopy(source, *copy);
    slots[to].graph = std::move(copy);
    slots[to].model = std::move(bound);
}

void ModelHarness::AssignGraph(std::size_t from, std::size_t to) {
    Record([from, to] { return "g" + std::to_string(to) + " = g" + std::to_string(from); });
    Graph& target = *slots[to].graph;
    context->clones.clear();
    context->graph = slots[from].graph.get();
    const Outcome actual = Capture([&] { target = *slots[from].graph; });
    context->graph = nullptr;
    if (from == to) {
        Check(context->clones.empty(), "assigning a graph to itself cloned a node function");
        return Expect(actual, Outcome::Kind::None);
    }
    GraphModel& source = slots[from].model;
    if (FollowCloneHooks(source)) {
        return Expect(actual, Outcome::Kind::GraphException,
                      "The graph was changed while it was being copied.");
    }
    for (const auto& entry : source.nodes) {
        if (entry.second.script->cloneReturnsNothing) {
            return Expect(actual, Outcome::Kind::GraphException, "Node functions cannot be null");
        }
    }
    Expect(actual, Outcome::Kind::None);
    CheckCloneHooksRan(source);
    slots[to].model = BindCopy(source, target);
}

} // namespace datagraph::reliability
