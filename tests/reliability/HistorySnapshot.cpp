#include "HistorySnapshot.h"

#include "HistoryValues.h"

#include <algorithm>
#include <unordered_map>

namespace datagraph::reliability {
namespace {

std::unordered_map<GUID, std::string, boost::hash<GUID>>& Names() {
    static std::unordered_map<GUID, std::string, boost::hash<GUID>> names;
    return names;
}

std::vector<GUID> Sorted(const IdentifierSet& ids) {
    std::vector<GUID> sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

void Require(bool condition, const std::string& what) {
    if (!condition) {
        throw HistoryMismatch("the graph's queries disagree: " + what);
    }
}

PinData DataOf(const Pin& pin) {
    const std::shared_ptr<const IDataValue> value = pin.GetData();
    const auto* ours = dynamic_cast<const ModelValue*>(value.get());
    Require(value == nullptr || ours != nullptr, "a pin holds a value the suite did not make");
    return PinData{value.get(), ours != nullptr ? ours->Serial() : 0, pin.HasUpdatedData()};
}

std::string Ids(const std::vector<GUID>& ids) {
    std::string text = "{";
    for (const GUID& id : ids) {
        text += (text.size() > 1 ? " " : "") + ShortName(id);
    }
    return text + "}";
}

std::string DataText(const PinData& data) {
    return (data.value != nullptr ? "value #" + std::to_string(data.serial) : "no value") +
           (data.mark ? " marked" : " unmarked");
}

} // namespace

std::string ShortName(const GUID& id) {
    auto name = Names().find(id);
    return name != Names().end() ? name->second : GUIDToString(id).substr(0, 8);
}

void NameId(const GUID& id, const std::string& name) {
    Names()[id] = name;
}

HistorySnapshot::HistorySnapshot(const Graph& graph)
    : defaultSubgraph(graph.GetDefaultExecutionSubgraphID())
    , linkTable(&graph.GetPinToPinEdges()) {
    const Graph::NodeMap nodeMap = graph.GetNodes();
    const IdentifierSet arbitrary = graph.GetNodesInArbitraryOrder();
    Require(nodeMap.size() == arbitrary.size(), "GetNodes and GetNodesInArbitraryOrder");
    auto& writable = const_cast<Graph&>(graph); // GetTraversableNode is not const
    for (const auto& [id, shared] : nodeMap) {
        Require(arbitrary.count(id) == 1 && graph.HasNode(id), "a node of GetNodes");
        const Node& node = graph.GetConstNode(id);
        Require(&node == shared.get(), "GetNodes and GetConstNode give other objects");
        Require(&writable.GetTraversableNode(id) == static_cast<const ITraversableNode*>(&node),
                "GetTraversableNode gives another object");
        Require(node.GetId() == id, "a node's id");
        NodeView view;
        view.object = &node;
        view.function = &node.GetNodeFunction();
        view.flags = NodeFlags{node.GetDirty(), node.GetDisabled()};
        view.inputs = Sorted(graph.GetInputPins(id));
        view.outputs = Sorted(graph.GetOutputPins(id));
        Require(Sorted(node.GetInputPins()) == view.inputs, "Node::GetInputPins");
        Require(Sorted(node.GetOutputPins()) == view.outputs, "Node::GetOutputPins");
        view.inputNodes = Sorted(graph.GetInputNodes(id));
        view.outputNodes = Sorted(graph.GetOutputNodes(id));
        view.unconnected = graph.NodeIsUnconnected(id);
        for (const auto* side : {&view.inputs, &view.outputs}) {
            for (const GUID& pinId : *side) {
                const Pin& pin = graph.GetConstPin(pinId);
                Require(&writable.GetTraversablePin(pinId) ==
                            static_cast<const ITraversablePin*>(&pin),
                        "GetTraversablePin gives another object");
                Require(graph.GetOwningNode(pinId) == id && pin.GetId() == pinId, "a pin's owner");
                Require(graph.GetDataFromPin(pinId) == pin.GetData(), "GetDataFromPin");
                PinView pinView;
                pinView.object = &pin;
                pinView.owner = id;
                pinView.output = side == &view.outputs;
                pinView.type = pin.GetDataType();
                pinView.data = DataOf(pin);
                pinView.upstream = graph.GetUpstreamPin(pinId);
                Require(graph.HasUpstreamPin(pinId) == (pinView.upstream != GetNullGUID()),
                        "HasUpstreamPin");
                pinView.downstream = Sorted(graph.GetDownstreamPins(pinId));
                Require(pins.emplace(pinId, std::move(pinView)).second, "a pin on two sides");
            }
        }
        nodes.emplace(id, std::move(view));
    }
    const std::vector<const Pin*> all = graph.GetAllPins();
    Require(all.size() == pins.size(), "GetAllPins counts other pins");
    for (const Pin* pin : all) {
        auto found = pins.find(pin->GetId());
        Require(found != pins.end() && found->second.object == pin, "GetAllPins");
    }
    links.assign(graph.GetPinToPinEdges().begin(), graph.GetPinToPinEdges().end());
    for (const GUID& subgraph : graph.GetExecutionSubgraphs()) {
        subgraphs[subgraph] = Sorted(graph.GetNodesInExecutionSubgraph(subgraph));
    }
    for (const auto& [id, subgraph] : graph.GetNodeToExecutionSubgraphMap()) {
        nodeToSubgraph[id] = subgraph;
    }
    try {
        const IdentifierList order = graph.GetNodesInTopologicalOrder();
        std::vector<GUID> sorted(order.begin(), order.end());
        std::sort(sorted.begin(), sorted.end());
        std::vector<GUID> ids;
        for (const auto& node : nodes) {
            ids.push_back(node.first);
        }
        Require(sorted == ids, "the topological order lists other nodes");
    } catch (const GraphException&) {
        cyclic = true;
    }
}

HistorySnapshot HistorySnapshot::WithData(const std::map<const Pin*, PinData>& pinData,
                                          const std::map<const Node*, NodeFlags>& flags) const {
    HistorySnapshot copy = *this;
    for (auto& [id, pin] : copy.pins) {
        auto found = pinData.find(pin.object);
        if (found == pinData.end()) {
            throw HistoryMismatch("the suite lost track of pin " + ShortName(id));
        }
        pin.data = found->second;
    }
    for (auto& [id, node] : copy.nodes) {
        auto found = flags.find(node.object);
        if (found == flags.end()) {
            throw HistoryMismatch("the suite lost track of node " + ShortName(id));
        }
        node.flags = found->second;
    }
    return copy;
}

std::string Difference(const HistorySnapshot& expected, const HistorySnapshot& actual, bool data) {
    if (expected.defaultSubgraph != actual.defaultSubgraph) {
        return "default subgraph " + ShortName(actual.defaultSubgraph) + " instead of " +
               ShortName(expected.defaultSubgraph);
    }
    if (expected.linkTable != actual.linkTable) {
        return "GetPinToPinEdges() is another object";
    }
    for (const auto& [id, node] : expected.nodes) {
        auto found = actual.nodes.find(id);
        if (found == actual.nodes.end()) {
            return "node " + ShortName(id) + " is missing";
        }
        const NodeView& other = found->second;
        if (node.object != other.object) {
            return "node " + ShortName(id) + " is another Node object";
        }
        if (node.function != other.function) {
            return "node " + ShortName(id) + " has another function object";
        }
        if (node.inputs != other.inputs || node.outputs != other.outputs) {
            return "node " + ShortName(id) + " has pins " + Ids(other.inputs) + " " +
                   Ids(other.outputs) + " instead of " + Ids(node.inputs) + " " + Ids(node.outputs);
        }
        if (node.inputNodes != other.inputNodes || node.outputNodes != other.outputNodes ||
            node.unconnected != other.unconnected) {
            return "node " + ShortName(id) + " has other neighbours";
        }
        if (data && !(node.flags == other.flags)) {
            return "node " + ShortName(id) + " is " + (other.flags.dirty ? "dirty" : "clean") +
                   (other.flags.disabled ? " disabled" : " enabled") + " instead of " +
                   (node.flags.dirty ? "dirty" : "clean") +
                   (node.flags.disabled ? " disabled" : " enabled");
        }
    }
    for (const auto& node : actual.nodes) {
        if (expected.nodes.count(node.first) == 0) {
            return "node " + ShortName(node.first) + " should not be there";
        }
    }
    for (const auto& [id, pin] : expected.pins) {
        auto found = actual.pins.find(id);
        if (found == actual.pins.end()) {
            return "pin " + ShortName(id) + " is missing";
        }
        const PinView& other = found->second;
        if (pin.object != other.object) {
            return "pin " + ShortName(id) + " is another Pin object";
        }
        if (pin.owner != other.owner || pin.output != other.output || pin.type != other.type) {
            return "pin " + ShortName(id) + " has another owner, side or type";
        }
        if (pin.upstream != other.upstream || pin.downstream != other.downstream) {
            return "pin " + ShortName(id) + " has other links";
        }
        if (data && pin.data != other.data) {
            return "pin " + ShortName(id) + " holds " + DataText(other.data) + " instead of " +
                   DataText(pin.data);
        }
    }
    if (expected.pins.size() != actual.pins.size()) {
        return "there are other pins";
    }
    if (expected.links != actual.links) {
        std::string text = "the link table reads";
        for (const auto& [from, to] : actual.links) {
            text += " " + ShortName(from) + ">" + ShortName(to);
        }
        text += " instead of";
        for (const auto& [from, to] : expected.links) {
            text += " " + ShortName(from) + ">" + ShortName(to);
        }
        return text;
    }
    if (expected.subgraphs != actual.subgraphs) {
        return "the subgraphs hold other nodes";
    }
    if (expected.nodeToSubgraph != actual.nodeToSubgraph) {
        return "GetNodeToExecutionSubgraphMap differs";
    }
    if (expected.cyclic != actual.cyclic) {
        return actual.cyclic ? "the order finds a cycle" : "the order finds no cycle";
    }
    return {};
}

} // namespace datagraph::reliability
