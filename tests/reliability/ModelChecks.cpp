#include "ModelHarness.h"

#include <algorithm>

namespace datagraph::reliability {
namespace {

constexpr const char* kInvalidKey = "invalid unordered_map<K, T> key";

std::string Describe(Outcome::Kind kind, const std::string& message) {
    static const char* const kinds[] = {"no exception",   "GraphException",    "std::out_of_range",
                                        "host exception", "bad_function_call", "other exception"};
    std::string text = kinds[static_cast<int>(kind)];
    return kind == Outcome::Kind::None ? text : text + " \"" + message + "\"";
}

/// The same ids, compared without building another container: this runs a million times.
bool SameIds(const IdentifierSet& real, const IdSet& expected) {
    return real.size() == expected.size() &&
           std::all_of(expected.begin(), expected.end(),
                       [&](const GUID& id) { return real.count(id) != 0; });
}

bool SameIds(const IdentifierSet& real, const NodeList& expected) {
    return real.size() == expected.size() &&
           std::all_of(expected.begin(), expected.end(),
                       [&](const GUID& id) { return real.count(id) != 0; });
}

const IDataValue* Raw(const std::shared_ptr<const IDataValue>& value) {
    return value.get();
}

} // namespace

void ModelHarness::Check(bool condition, const char* what) const {
    if (!condition) {
        throw ModelMismatch(what);
    }
}

void ModelHarness::Check(bool condition, const char* what, const GUID& id) const {
    if (!condition) {
        throw ModelMismatch(std::string(what) + " [" + Name(id) + "]");
    }
}

// The expected text is mostly a literal: a view of it costs no allocation on the passing path.
void ModelHarness::Expect(const Outcome& actual, Outcome::Kind kind, std::string_view message) {
    // A bad_function_call's text belongs to the standard library, not to the graph.
    const bool messageMatters =
        kind != Outcome::Kind::None && kind != Outcome::Kind::BadFunctionCall;
    if (actual.kind != kind || (messageMatters && actual.message != message)) {
        throw ModelMismatch("expected " + Describe(kind, std::string(message)) + ", got " +
                            Describe(actual.kind, actual.message));
    }
    if (kind != Outcome::Kind::None) {
        ++totals.refusals;
    }
}

void ModelHarness::ExpectOneOf(const Outcome& actual, Outcome::Kind kind,
                               const std::set<std::string>& messages) {
    if (actual.kind == kind && messages.count(actual.message) != 0) {
        ++totals.refusals;
        return;
    }
    std::string allowed;
    for (const std::string& message : messages) {
        allowed += " \"" + message + "\"";
    }
    throw ModelMismatch("expected " + Describe(kind, "one of" + allowed) + ", got " +
                        Describe(actual.kind, actual.message));
}

void ModelHarness::CompareAll(const Slot& slot, bool withAbsentIds) {
    const Graph& graph = *slot.graph;
    const GraphModel& model = slot.model;
    Check(graph.GetDefaultExecutionSubgraphID() == model.defaultSubgraph,
          "GetDefaultExecutionSubgraphID differs", model.defaultSubgraph);
    CompareNodes(slot, withAbsentIds);
    ComparePins(slot, withAbsentIds);

    const auto& table = graph.GetPinToPinEdges();
    const std::vector<std::pair<GUID, GUID>> realTable(table.begin(), table.end());
    Check(realTable == model.LinkTable(), "GetPinToPinEdges differs");

    IdSet subgraphs = model.Subgraphs();
    Check(SameIds(graph.GetExecutionSubgraphs(), subgraphs), "GetExecutionSubgraphs differs");
    subgraphs.insert(model.defaultSubgraph);
    subgraphs.insert(GetNullGUID());
    for (const GUID& subgraph : subgraphs) {
        Check(SameIds(graph.GetNodesInExecutionSubgraph(subgraph), model.NodesIn(subgraph)),
              "GetNodesInExecutionSubgraph differs", subgraph);
    }
    const auto realMap = graph.GetNodeToExecutionSubgraphMap();
    const auto expectedMap = model.NodeToSubgraph();
    Check(realMap.size() == expectedMap.size(), "GetNodeToExecutionSubgraphMap differs in size");
    for (const auto& [node, subgraph] : expectedMap) {
        auto found = realMap.find(node);
        Check(found != realMap.end() && found->second == subgraph,
              "GetNodeToExecutionSubgraphMap differs", node);
    }
    CompareOrder(slot);
    ++totals.queriesCompared;
}

void ModelHarness::CompareNodes(const Slot& slot, bool withAbsentIds) {
    Graph& graph = *slot.graph;
    const GraphModel& model = slot.model;
    IdSet expectedIds;
    for (const auto& entry : model.nodes) {
        expectedIds.insert(entry.first);
    }
    Check(SameIds(graph.GetNodesInArbitraryOrder(), expectedIds),
          "GetNodesInArbitraryOrder differs");
    const Graph::NodeMap nodes = graph.GetNodes();
    Check(nodes.size() == model.nodes.size(), "GetNodes differs in size");
    for (const auto& [id, expected] : model.nodes) {
        auto found = nodes.find(id);
        Check(found != nodes.end() && found->second.get() == expected.object,
              "GetNodes holds another node object", id);
        Check(graph.HasNode(id), "HasNode is false for a node", id);
        const Node& node = graph.GetConstNode(id);
        Check(&node == expected.object, "GetConstNode returns another object", id);
        Check(&graph.GetTraversableNode(id) == static_cast<const ITraversableNode*>(&node),
              "GetTraversableNode returns another object", id);
        Check(node.GetId() == id, "a node reports another id", id);
        Check(&node.GetNodeFunction() == expected.function, "a node holds another function", id);
        Check(node.GetDirty() == expected.dirty, "GetDirty differs", id);
        Check(node.GetDisabled() == expected.disabled, "GetDisabled differs", id);
        Check(SameIds(node.GetInputPins(), expected.inputs) &&
                  SameIds(graph.GetInputPins(id), expected.inputs),
              "GetInputPins differs", id);
        Check(SameIds(node.GetOutputPins(), expected.outputs) &&
                  SameIds(graph.GetOutputPins(id), expected.outputs),
              "GetOutputPins differs", id);
        Check(SameIds(graph.GetInputNodes(id), model.InputNodesOf(expected)),
              "GetInputNodes differs", id);
        Check(SameIds(graph.GetOutputNodes(id), model.OutputNodesOf(expected)),
              "GetOutputNodes differs", id);
        Check(graph.NodeIsUnconnected(id) == model.Unconnected(id), "NodeIsUnconnected differs",
              id);
        Check(graph.GetTraversableNode(id).GetNodeName() == expected.script->name,
              "GetNodeName differs", id);
    }
    // One id that names no node per comparison, taken in turn from the pool.
    const auto& pool = NodePool();
    const GUID absent = pool[static_cast<std::size_t>(totals.queriesCompared) % pool.size()];
    if (!withAbsentIds || model.nodes.count(absent) != 0) {
        return;
    }
    Check(!graph.HasNode(absent), "HasNode is true for an absent node", absent);
    // Exceptions are slow; one of the two lookups per comparison, in turn.
    const Outcome lookup = totals.queriesCompared % 2 == 0
                               ? Capture([&] { graph.GetConstNode(absent); })
                               : Capture([&] { graph.GetTraversableNode(absent); });
    Check(lookup.kind == Outcome::Kind::OutOfRange && lookup.message == kInvalidKey,
          "a lookup of an absent node does not raise the invalid-key error", absent);
    Check(graph.GetInputPins(absent).empty() && graph.GetOutputPins(absent).empty() &&
              graph.GetInputNodes(absent).empty() && graph.GetOutputNodes(absent).empty() &&
              graph.NodeIsUnconnected(absent),
          "an absent node has pins or neighbours", absent);
}

void ModelHarness::ComparePins(const Slot& slot, bool withAbsentIds) {
    Graph& graph = *slot.graph;
    const GraphModel& model = slot.model;
    const std::vector<const Pin*> all = graph.GetAllPins();
    Check(all.size() == model.pins.size(), "GetAllPins differs in size");
    for (const Pin* pin : all) {
        Check(model.pins.count(pin->GetId()) != 0, "GetAllPins lists an unknown pin", pin->GetId());
    }
    for (const auto& [id, expected] : model.pins) {
        Check(graph.HasPin(id), "HasPin is false for a pin", id);
        const Pin& pin = graph.GetConstPin(id);
        Check(std::find(all.begin(), all.end(), &pin) != all.end(),
              "GetAllPins misses a pin object", id);
        Check(&graph.GetTraversablePin(id) == static_cast<const ITraversablePin*>(&pin),
              "GetTraversablePin returns another object", id);
        Check(pin.GetId() == id, "a pin reports another id", id);
        Check(pin.GetDataType() == *expected.type, "a pin has another type", id);
        Check(Raw(pin.GetData()) == Raw(expected.value) &&
                  Raw(graph.GetDataFromPin(id)) == Raw(expected.value),
              "a pin holds another value", id);
        Check(pin.HasUpdatedData() == expected.mark, "a pin has another updated-data mark", id);
        Check(graph.GetOwningNode(id) == expected.owner, "GetOwningNode differs", id);
        Check(graph.HasUpstreamPin(id) == model.HasUpstream(id) &&
                  graph.GetUpstreamPin(id) == model.Upstream(id),
              "the upstream pin differs", id);
        Check(SameIds(graph.GetDownstreamPins(id), model.Downstream(id)),
              "GetDownstreamPins differs", id);
    }
    const auto& pool = PinPool();
    const GUID absent = pool[static_cast<std::size_t>(totals.queriesCompared) % pool.size()];
    if (!withAbsentIds || model.pins.count(absent) != 0) {
        return;
    }
    Check(!graph.HasPin(absent), "HasPin is true for an absent pin", absent);
    switch (totals.queriesCompared % 4) {
    case 0: {
        const Outcome owner = Capture([&] { graph.GetOwningNode(absent); });
        Check(owner.kind == Outcome::Kind::GraphException &&
                  owner.message == "Pin not associated with a node.",
              "GetOwningNode of an absent pin does not raise its error", absent);
        break;
    }
    default: {
        const long way = totals.queriesCompared % 4;
        const Outcome lookup = way == 1   ? Capture([&] { graph.GetConstPin(absent); })
                               : way == 2 ? Capture([&] { graph.GetTraversablePin(absent); })
                                          : Capture([&] { graph.GetDataFromPin(absent); });
        Check(lookup.kind == Outcome::Kind::OutOfRange && lookup.message == kInvalidKey,
              "a lookup of an absent pin does not raise the invalid-key error", absent);
    }
    }
    Check(!graph.HasUpstreamPin(absent) && graph.GetUpstreamPin(absent) == GetNullGUID() &&
              graph.GetDownstreamPins(absent).empty(),
          "an absent pin has links", absent);
}

void ModelHarness::CompareOrder(const Slot& slot) {
    const GraphModel& model = slot.model;
    const TopologyOutcome topology = model.Topology();
    IdentifierList order;
    const Outcome actual = Capture([&] { order = slot.graph->GetNodesInTopologicalOrder(); });
    if (!topology.failure.empty()) {
        Check(
            actual.kind == Outcome::Kind::GraphException && actual.message == topology.failure,
            ("GetNodesInTopologicalOrder does not fail with \"" + topology.failure + "\"").c_str());
        return;
    }
    Check(actual.kind == Outcome::Kind::None, "GetNodesInTopologicalOrder fails");
    Check(order.size() == model.nodes.size(), "the topological order misses nodes");
    IdSet placed;
    for (const GUID& id : order) {
        Check(model.nodes.count(id) != 0 && placed.count(id) == 0,
              "the topological order lists a node twice or an unknown one", id);
        for (const GUID& source : topology.SourcesOf(id)) {
            Check(placed.count(source) != 0, "a node comes before a node that feeds it", id);
        }
        placed.insert(id);
    }
}

void ModelHarness::CheckPinStates(const GraphModel& model, const PinStates& states) const {
    Check(states.size() == model.pins.size(), "a node function saw another set of pins");
    for (const auto& [id, expected] : model.pins) {
        const PinStates::State* found = states.Find(id);
        Check(found != nullptr && found->value == Raw(expected.value) &&
                  found->mark == expected.mark,
              "a node function saw a pin in another state", id);
    }
}

GraphModel ModelHarness::BindCopy(const GraphModel& source, const Graph& copy) {
    GraphModel bound = source;
    for (auto& [id, node] : bound.nodes) {
        Check(copy.HasNode(id), "a copied node is missing", id);
        const Node& copied = copy.GetConstNode(id);
        const INodeFunction& function = copied.GetNodeFunction();
        const auto* scripted = dynamic_cast<const ScriptedFunction*>(&function);
        Check(&copied != node.object, "the copy shares a node object with its source", id);
        Check(&function != node.function, "the copy shares a node function with its source", id);
        Check(scripted != nullptr && scripted->SharedScript() == node.script,
              "a copied node holds something other than a clone of its function", id);
        node.object = &copied;
        node.function = &function;
    }
    std::set<const IDataValue*> sourceValues;
    for (const auto& entry : source.pins) {
        sourceValues.insert(Raw(entry.second.value));
    }
    std::set<const IDataValue*> copiedValues;
    for (auto& [id, pin] : bound.pins) {
        Check(copy.HasPin(id), "a copied pin is missing", id);
        std::shared_ptr<const IDataValue> value = copy.GetConstPin(id).GetData();
        if (!pin.value) {
            Check(value == nullptr, "a copied pin holds a value its source did not have", id);
            continue;
        }
        const ModelValue* original = AsModelValue(pin.value.get());
        const ModelValue* cloned = AsModelValue(value.get());
        Check(cloned != nullptr && cloned->Kind() == original->Kind() &&
                  cloned->Content() == original->Content(),
              "a copied pin does not hold a clone of its source's value", id);
        Check(sourceValues.count(cloned) == 0 && copiedValues.insert(cloned).second,
              "a copied pin shares its value object", id);
        pin.value = std::move(value);
    }
    return bound;
}

} // namespace datagraph::reliability
