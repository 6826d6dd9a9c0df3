#include "store/GraphStore.h"

#include "Checks.h"

namespace datagraph {

std::unique_ptr<GraphStore> GraphStore::DeepCopy(Graph& owner) const {
    // A host's Clone() could edit the very graph being copied; the walk below stops at once if
    // anything it walks has changed.
    const std::uint64_t versionAtStart = structureVersion;
    auto checkUnchanged = [&] {
        CheckThat(structureVersion == versionAtStart,
                  "The graph was changed while it was being copied.");
    };

    ++copiesInProgress;

    struct Done {
        const GraphStore& source;

        ~Done() { --source.copiesInProgress; }
    } done{*this};

    auto copy = std::make_unique<GraphStore>(defaultExecutionSubgraphID);
    // Every node's function is cloned, then every pin's value, each in the order of the source's
    // tables: the copy of the record at one place of a table stands at the same place of the
    // copy's table, so the records' pointers, and at the end the tables' index by id, carry over
    // without hashing. As in the source, a node's pins live in one block with its record.
    std::vector<std::size_t> placeInBlock(pins.Size());
    // Held while its function's Clone() runs, which may destroy the node: only the walk's check
    // may look at the source after that.
    std::shared_ptr<const Node> source;
    nodes.ForEach([&](const NodeRecord& sourceNode) {
        source = sourceNode.node;
        auto node = std::make_shared<Node>(owner, *source);
        checkUnchanged();
        std::size_t k = 0;
        for (const auto* pinList : {&sourceNode.inputPins, &sourceNode.outputPins}) {
            for (const PinRecord* pin : *pinList) {
                placeInBlock[pin->place] = k++;
            }
        }
        NodeRecord& record = copy->nodes.AppendUnindexed(
            RecordStorage{k * sizeof(PinRecord), nullptr}, sourceNode.id);
        record.pinSlots = k;
        record.node = std::move(node);
    });
    pins.ForEach([&](const PinRecord& sourcePin) {
        NodeRecord& pinOwner = copy->nodes.At(sourcePin.owner->place);
        // The side is passed by value: the value's Clone() may destroy the source pin.
        const bool isOutput = sourcePin.isOutput;
        copy->pins.AppendUnindexed(PinSlot(pinOwner, placeInBlock[sourcePin.place]), sourcePin.pin,
                                   pinOwner, isOutput);
        checkUnchanged();
    });
    auto copyOf = [&copy](const PinRecord* source) { return &copy->pins.At(source->place); };
    nodes.ForEach([&](const NodeRecord& sourceNode) {
        NodeRecord& record = copy->nodes.At(sourceNode.place);
        record.inputPins.reserve(sourceNode.inputPins.size());
        for (const PinRecord* pin : sourceNode.inputPins) {
            record.inputPins.push_back(copyOf(pin));
        }
        record.outputPins.reserve(sourceNode.outputPins.size());
        for (const PinRecord* pin : sourceNode.outputPins) {
            record.outputPins.push_back(copyOf(pin));
        }
    });

    // Every pin's links are copied oldest first, and the subgraph table is walked in order and
    // appended to, so every order carries over.
    pins.ForEach([&](const PinRecord& sourceUpstream) {
        if (sourceUpstream.downstream.empty()) {
            return;
        }
        PinRecord& upstream = *copyOf(&sourceUpstream);
        upstream.downstream.reserve(sourceUpstream.downstream.size());
        for (const PinRecord* sourceDownstream : sourceUpstream.downstream) {
            PinRecord& downstream = *copyOf(sourceDownstream);
            downstream.upstream = &upstream;
            ++downstream.owner->linksIn;
            upstream.downstream.push_back(&downstream);
        }
    });
    copy->linksNotOutputToInput = linksNotOutputToInput;
    copy->nodes.IndexLike(nodes);
    copy->pins.IndexLike(pins);
    for (const auto& [subgraphId, subgraph] : subgraphs) {
        for (const SubgraphEntry* entry = subgraph.first; entry != nullptr; entry = entry->next) {
            NodeRecord* node =
                entry->node != nullptr ? &copy->nodes.At(entry->node->place) : nullptr;
            copy->AddSubgraphEntryFor(entry->nodeId, node, subgraphId);
        }
    }
    return copy;
}

} // namespace datagraph
