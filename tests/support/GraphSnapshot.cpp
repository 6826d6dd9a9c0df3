#include "GraphSnapshot.h"

#include <algorithm>
#include <tuple>

namespace datagraph::test {

std::vector<GUID> Sorted(const IdentifierSet& ids) {
    std::vector<GUID> sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

bool PinState::operator==(const PinState& other) const {
    return std::tie(owner, isOutput, typeName, data, updatedData, upstream, downstream) ==
           std::tie(other.owner, other.isOutput, other.typeName, other.data, other.updatedData,
                    other.upstream, other.downstream);
}

bool NodeState::operator==(const NodeState& other) const {
    return std::tie(object, dirty, disabled, inputPins, outputPins) ==
           std::tie(other.object, other.dirty, other.disabled, other.inputPins, other.outputPins);
}

GraphSnapshot::GraphSnapshot(const Graph& graph)
    : defaultExecutionSubgraph(graph.GetDefaultExecutionSubgraphID()) {
    for (const GUID& nodeId : graph.GetNodesInArbitraryOrder()) {
        const Node& node = graph.GetConstNode(nodeId);
        nodes[nodeId] =
            NodeState{&node, node.GetDirty(), node.GetDisabled(),
                      Sorted(graph.GetInputPins(nodeId)), Sorted(graph.GetOutputPins(nodeId))};
    }
    for (const Pin* pin : graph.GetAllPins()) {
        const GUID pinId = pin->GetId();
        PinState state;
        state.owner = graph.GetOwningNode(pinId);
        state.isOutput = graph.GetOutputPins(state.owner).count(pinId) != 0;
        state.typeName = pin->GetDataType().name();
        state.data = pin->GetData().get();
        state.updatedData = pin->HasUpdatedData();
        state.upstream = graph.GetUpstreamPin(pinId);
        state.downstream = Sorted(graph.GetDownstreamPins(pinId));
        pins[pinId] = state;
    }
    links.assign(graph.GetPinToPinEdges().begin(), graph.GetPinToPinEdges().end());
    for (const GUID& subgraph : graph.GetExecutionSubgraphs()) {
        subgraphs[subgraph] = Sorted(graph.GetNodesInExecutionSubgraph(subgraph));
    }
    for (const auto& [nodeId, subgraph] : graph.GetNodeToExecutionSubgraphMap()) {
        nodeToSubgraph[nodeId] = subgraph;
    }
}

bool GraphSnapshot::operator==(const GraphSnapshot& other) const {
    return std::tie(defaultExecutionSubgraph, nodes, pins, links, subgraphs, nodeToSubgraph) ==
           std::tie(other.defaultExecutionSubgraph, other.nodes, other.pins, other.links,
                    other.subgraphs, other.nodeToSubgraph);
}

namespace {

std::string Short(const GUID& id) {
    return GUIDToString(id).substr(0, 8);
}

} // namespace

void PrintTo(const GraphSnapshot& snapshot, std::ostream* os) {
    *os << "graph (default subgraph " << Short(snapshot.defaultExecutionSubgraph) << ")\n";
    for (const auto& [id, node] : snapshot.nodes) {
        *os << "  node " << Short(id) << (node.dirty ? " dirty" : "")
            << (node.disabled ? " disabled" : "") << " in " << node.inputPins.size() << " out "
            << node.outputPins.size() << '\n';
    }
    for (const auto& [id, pin] : snapshot.pins) {
        *os << "  pin " << Short(id) << (pin.isOutput ? " out" : " in") << " of "
            << Short(pin.owner) << (pin.data ? " value" : " empty")
            << (pin.updatedData ? " marked" : "") << '\n';
    }
    for (const auto& [from, to] : snapshot.links) {
        *os << "  link " << Short(from) << " -> " << Short(to) << '\n';
    }
    for (const auto& [subgraph, nodeIds] : snapshot.subgraphs) {
        *os << "  subgraph " << Short(subgraph) << ": " << nodeIds.size() << " nodes\n";
    }
}

} // namespace datagraph::test
