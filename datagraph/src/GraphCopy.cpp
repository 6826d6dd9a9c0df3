#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"

namespace datagraph {

std::unique_ptr<Graph::Fields> Graph::Fields::DeepCopy(Graph& owner) const {
    // A host's Clone() could edit the very graph being copied; the walk below stops at once if
    // anything it walks has changed.
    const std::uint64_t versionAtStart = structureVersion;
    auto checkUnchanged = [&] {
        CheckThat(structureVersion == versionAtStart,
                  "The graph was changed while it was being copied.");
    };

    auto copy = std::make_unique<Fields>(defaultExecutionSubgraphID);
    copy->nodes.reserve(nodes.size());
    copy->pins.reserve(pins.size());
    for (const auto& [nodeId, sourceNode] : nodes) {
        auto node = std::make_shared<Node>(owner, *sourceNode.node);
        checkUnchanged();
        NodeRecord& record = copy->nodes[nodeId];
        record.id = nodeId;
        record.node = std::move(node);
        for (bool outputPins : {false, true}) {
            const auto& sourcePins = outputPins ? sourceNode.outputPins : sourceNode.inputPins;
            auto& copiedPins = outputPins ? record.outputPins : record.inputPins;
            copiedPins.reserve(sourcePins.size());
            for (const PinRecord* sourcePin : sourcePins) {
                auto pin = std::make_shared<Pin>(*sourcePin->pin);
                checkUnchanged();
                PinRecord& pinRecord = copy->pins[pin->GetId()];
                pinRecord.pin = std::move(pin);
                pinRecord.owner = &record;
                pinRecord.isOutput = outputPins;
                copiedPins.push_back(&pinRecord);
            }
        }
    }

    // The tables are walked in order and appended to, so every order carries over.
    for (const auto& [upstreamId, downstreamId] : pinToPinEdges) {
        PinRecord& upstream = copy->pins.at(upstreamId);
        PinRecord& downstream = copy->pins.at(downstreamId);
        downstream.upstreamLink =
            copy->pinToPinEdges.emplace_hint(copy->pinToPinEdges.end(), upstreamId, downstreamId);
        downstream.upstream = &upstream;
        upstream.downstream.push_back(&downstream);
    }
    for (const auto& [subgraph, nodeId] : executionSubgraphToNodes) {
        auto entry = copy->executionSubgraphToNodes.emplace_hint(
            copy->executionSubgraphToNodes.end(), subgraph, nodeId);
        NodeRecord* node = copy->FindNode(nodeId);
        (node != nullptr ? node->subgraphEntries : copy->subgraphEntriesOfAbsentNodes[nodeId])
            .push_back(entry);
    }
    return copy;
}

Graph::Graph(const Graph& other)
    : IEditableGraph(other)
    , ITraversableGraph(other)
    , fields(other.fields->DeepCopy(*this)) {}

Graph& Graph::operator=(const Graph& other) {
    if (this == &other) {
        return *this;
    }
    std::unique_ptr<Fields> copy = other.fields->DeepCopy(*this);
    // A traversal running on this graph must see that its records are gone.
    copy->structureVersion = fields->structureVersion + 1;
    // The previous records are released without Clear: an old node or pin lives on only while
    // somebody else holds it.
    std::swap(fields, copy);
    return *this;
}

} // namespace datagraph
