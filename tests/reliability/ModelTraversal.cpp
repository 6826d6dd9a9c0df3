#include "ModelHarness.h"

#include "LogCapture.h"

#include <algorithm>

namespace datagraph::reliability {
namespace {

constexpr const char* kNestedRefusal = "Requested a Traverse within the Traverse of the graph.  "
                                       "This is often due to a node causing an extra workbook "
                                       "commit";
constexpr const wchar_t* kAbsorbedMessage =
    L"Caught non-fatal graph exception when traversing the graph";

const std::type_info& TypeOfValue(const std::shared_ptr<const IDataValue>& value) {
    const ModelValue* known = AsModelValue(value.get());
    return known != nullptr ? TypeOf(known->Kind()) : typeid(void);
}

bool TraversesOwnGraph(const FunctionScript& script) {
    return script.action == Action::TraverseOwnGraphAndCatch ||
           script.action == Action::TraverseOwnGraphAndRethrow;
}

} // namespace

// The graph chooses the order among nodes that do not feed each other, and the iteration orders
// of its sets decide how far a failing node's writes got. The model does not guess either: it
// takes the order of executions from the trace, checks that it is one the rules allow, and reads
// a part-way write off the pin states that the next node function (or the caller) found, checking
// that each pin holds either its old state or the newly written one.
void ModelHarness::Traverse(Slot& slot) {
    const bool useDefault = choices.Chance(60);
    const GUID subgraph = useDefault ? slot.model.defaultSubgraph : PickSubgraph();
    Record([useDefault, subgraph] {
        return useDefault ? std::string("Traverse()") : "Traverse(" + Name(subgraph) + ")";
    });
    context->trace.clear();
    context->graph = slot.graph.get();
    Outcome actual;
    std::vector<test::LogCapture::Entry> logged;
    {
        test::LogCapture capture;
        actual =
            Capture([&] { useDefault ? slot.graph->Traverse() : slot.graph->Traverse(subgraph); });
        logged = capture.Entries();
    }
    context->graph = nullptr;
    const PinStates finalPins = ReadPinStates(*slot.graph);
    // Followed in place: a mismatch ends the whole sequence, so no step needs the model as it was.
    GraphModel& model = slot.model;
    long absorbed = 0;
    const Outcome expected = FollowTraversal(model, subgraph, finalPins, absorbed);
    Expect(actual, expected.kind, expected.message);
    Check(logged.size() == static_cast<std::size_t>(absorbed),
          "the traversal logged another number of absorbed failures");
    for (const auto& entry : logged) {
        Check(entry.severity == KLog::Severity::Info && entry.message == kAbsorbedMessage,
              "the traversal logged another message");
    }
    ++totals.traversals;
    totals.traversalsRefused += expected.kind == Outcome::Kind::GraphException ? 1 : 0;
    totals.absorbedFailures += absorbed;
    totals.nodeExecutions += static_cast<long>(context->trace.size());
    BindMadeNodes(slot);
}

void ModelHarness::ExecuteNode(Slot& slot) {
    GUID node = PickNode(slot, 90);
    auto target = slot.model.nodes.find(node);
    // Executing a function that traverses its own graph from outside a traversal would start a
    // whole traversal from inside the node; the model follows traversals from the top only.
    if (target != slot.model.nodes.end() && TraversesOwnGraph(*target->second.script)) {
        Record([node] { return "(no direct execution of " + Name(node) + ")"; });
        return;
    }
    Record([node] { return "GetTraversableNode(" + Name(node) + ").Execute()"; });
    context->trace.clear();
    context->graph = slot.graph.get();
    const Outcome actual = Capture([&] { slot.graph->GetTraversableNode(node).Execute(); });
    context->graph = nullptr;
    if (target == slot.model.nodes.end()) {
        Check(context->trace.empty(), "an absent node executed");
        return Expect(actual, Outcome::Kind::OutOfRange, "invalid unordered_map<K, T> key");
    }
    Check(context->trace.size() == 1, "a node's function was not called exactly once", node);
    GraphModel& model = slot.model;
    const StepResult result = RunTracedNode(model, 0, ReadPinStates(*slot.graph), false);
    switch (result.kind) {
    case StepKind::Done:
        Expect(actual, Outcome::Kind::None);
        break;
    case StepKind::Failed:
        ExpectOneOf(actual, Outcome::Kind::GraphException, result.messages);
        break;
    case StepKind::HostAbort:
        Expect(actual, Outcome::Kind::HostError, *result.messages.begin());
        break;
    }
    ++totals.nodeExecutions;
    BindMadeNodes(slot);
}

Outcome ModelHarness::FollowTraversal(GraphModel& model, const GUID& subgraph,
                                      const PinStates& finalPins, long& absorbed) {
    const std::vector<TraceEntry>& trace = context->trace;
    const TopologyOutcome topology = model.Topology();
    if (!topology.failure.empty()) {
        Check(trace.empty(), "a node ran although the topological order failed");
        return {Outcome::Kind::GraphException, topology.failure};
    }
    // Sorted arrays rather than sets: this runs at every traversal.
    boost::container::small_vector<GUID, 16> members;
    for (const auto& entry : model.subgraphEntries) {
        if (entry.first == subgraph) {
            members.push_back(entry.second);
        }
    }
    std::sort(members.begin(), members.end());
    // The nodes, in id order.
    boost::container::small_vector<GUID, 16> unconsidered(topology.nodes.begin(),
                                                          topology.nodes.end());
    auto isUnconsidered = [&](const GUID& id) {
        return std::binary_search(unconsidered.begin(), unconsidered.end(), id);
    };
    auto waiting = [&](const GUID& id) {
        const NodeList& sources = topology.SourcesOf(id);
        return std::any_of(sources.begin(), sources.end(), isUnconsidered);
    };
    auto runs = [&](const GUID& id) {
        return model.nodes.count(id) != 0 &&
               std::binary_search(members.begin(), members.end(), id) && !model.Unconnected(id) &&
               model.Ready(id);
    };
    std::size_t next = 0;
    auto runsLater = [&](const GUID& id) {
        return std::any_of(trace.begin() + static_cast<std::ptrdiff_t>(next), trace.end(),
                           [&](const TraceEntry& entry) { return entry.node == id; });
    };
    for (;;) {
        // Consider every node whose turn may come now and that the trace says did not run.
        for (bool skipped = true; skipped;) {
            skipped = false;
            for (auto id = unconsidered.begin(); id != unconsidered.end();) {
                if (!waiting(*id) && !runsLater(*id) && !runs(*id)) {
                    id = unconsidered.erase(id);
                    skipped = true;
                } else {
                    ++id;
                }
            }
        }
        if (next == trace.size()) {
            break;
        }
        const GUID node = trace[next].node;
        Check(isUnconsidered(node) && !waiting(node),
              "a node ran before a node that feeds it had its turn", node);
        Check(runs(node), "a node ran that is not a ready, linked member of the subgraph", node);
        const StepResult result = RunTracedNode(model, next, finalPins, true);
        unconsidered.erase(std::lower_bound(unconsidered.begin(), unconsidered.end(), node));
        ++next;
        if (result.kind == StepKind::HostAbort) {
            Check(next == trace.size(), "the traversal went on after a host exception");
            return {Outcome::Kind::HostError, *result.messages.begin()};
        }
        if (result.kind == StepKind::Failed) {
            ++absorbed;
        }
    }
    for (const GUID& id : unconsidered) {
        Check(!runs(id), "a ready, linked member of the subgraph did not run", id);
    }
    return {};
}

ModelHarness::StepResult ModelHarness::RunTracedNode(GraphModel& model, std::size_t index,
                                                     const PinStates& finalPins, bool inTraversal) {
    const std::vector<TraceEntry>& trace = context->trace;
    const TraceEntry& entry = trace[index];
    const PinStates& observed = index + 1 < trace.size() ? trace[index + 1].pins : finalPins;
    Check(model.nodes.count(entry.node) != 0, "an absent node ran", entry.node);
    CheckPinStates(model, entry.pins);
    const ModelNode& node = model.nodes.at(entry.node);
    std::size_t withValue = 0;
    for (const GUID& pin : node.inputs) {
        const auto& value = model.pins.at(pin).value;
        if (value) {
            ++withValue;
            auto given = entry.inputs.find(pin);
            Check(given != entry.inputs.end() && given->second == value,
                  "a node function did not receive an input pin's value", pin);
        }
    }
    Check(entry.inputs.size() == withValue, "a node function received extra inputs", entry.node);

    const std::shared_ptr<const FunctionScript> script = node.script;
    FollowExecuteHook(model, entry, *script);
    switch (script->action) {
    case Action::Return:
        break;
    case Action::ThrowGraphException:
        return {StepKind::Failed, {script->FailureMessage()}};
    case Action::ThrowHostError:
        return {StepKind::HostAbort, {script->FailureMessage()}};
    case Action::DestroyOwnNode:
        model.DestroyNode(entry.node);
        break;
    case Action::DestroyAnotherNode:
        model.DestroyNode(script->target);
        break;
    case Action::ClearOwnGraph:
        while (!model.nodes.empty()) {
            model.DestroyNode(model.nodes.begin()->first);
        }
        if (!model.subgraphEntries.empty()) {
            return {StepKind::Failed, {"All nodes should have already been removed."}};
        }
        break;
    case Action::TraverseOwnGraphAndCatch:
    case Action::TraverseOwnGraphAndRethrow:
        Check(inTraversal && !entry.nestedRan && entry.nested == kNestedRefusal,
              "a traversal requested from inside the traversal was not refused", entry.node);
        if (script->action == Action::TraverseOwnGraphAndRethrow) {
            return {StepKind::Failed, {kNestedRefusal}};
        }
        break;
    }
    const StepResult result =
        ApplyOutputs(model, entry.node, script->Outputs(entry.inputs), observed);
    if (result.kind != StepKind::Done || !inTraversal) {
        return result;
    }
    return MoveDownstream(model, entry.node, observed);
}

ModelHarness::StepResult ModelHarness::ApplyOutputs(GraphModel& model, const GUID& node,
                                                    const DataMap& outputs,
                                                    const PinStates& observed) {
    auto owner = model.nodes.find(node);
    const IdSet outputPins = owner != model.nodes.end() ? owner->second.outputs : IdSet{};
    StepResult result;
    std::vector<PendingPin> accepted;
    for (const auto& [pin, value] : outputs) {
        if (outputPins.count(pin) == 0) {
            result.messages.insert("Could not find the indicated output pin.");
        } else if (!value) {
            result.messages.insert("Data value cannot be null");
        } else if (TypeOfValue(value) != *model.pins.at(pin).type) {
            result.messages.insert("Data value has incorrect type");
        } else {
            accepted.push_back({pin, model.pins.at(pin), value});
        }
    }
    if (result.messages.empty()) {
        for (const PendingPin& write : accepted) {
            model.SetValue(write.pin, write.written);
        }
        return result;
    }
    Resolve(model, accepted, observed);
    result.kind = StepKind::Failed;
    return result;
}

ModelHarness::StepResult ModelHarness::MoveDownstream(GraphModel& model, const GUID& node,
                                                      const PinStates& observed) {
    StepResult result;
    auto owner = model.nodes.find(node);
    if (owner == model.nodes.end()) {
        return result;
    }
    std::vector<PendingPin> accepted;
    for (const GUID& output : owner->second.outputs) {
        const ModelPin& source = model.pins.at(output);
        if (!source.mark) {
            continue;
        }
        for (const GUID& downstream : model.Downstream(output)) {
            if (!source.value) {
                result.messages.insert("Data value cannot be null");
            } else if (TypeOfValue(source.value) != *model.pins.at(downstream).type) {
                result.messages.insert("Data value has incorrect type");
            } else {
                accepted.push_back({downstream, model.pins.at(downstream), source.value});
            }
        }
    }
    if (result.messages.empty()) {
        for (const PendingPin& move : accepted) {
            model.SetValue(move.pin, move.written);
        }
        return result;
    }
    Resolve(model, accepted, observed);
    result.kind = StepKind::Failed;
    return result;
}

void ModelHarness::Resolve(GraphModel& model, const std::vector<PendingPin>& pending,
                           const PinStates& observed) {
    for (const PendingPin& write : pending) {
        const PinStates::State* found = observed.Find(write.pin);
        Check(found != nullptr, "a pin written part-way is gone", write.pin);
        const IDataValue* value = found->value;
        const bool mark = found->mark;
        if (value == write.written.get() && mark) {
            model.SetValue(write.pin, write.written);
            continue;
        }
        Check(value == write.before.value.get() && mark == write.before.mark,
              "a pin written part-way holds neither its old state nor the new value", write.pin);
    }
}

} // namespace datagraph::reliability
