#pragma once

// The traversal loop's questions answered from a graph's own records, as they stood when the run
// started. A node function may edit the graph while it runs; from the first such edit on, every
// answer comes through the graph's interface instead, exactly as for any other graph.

#include <datagraph/Graph.h>

#include "Hidden.h"
#include "Prefetch.h"
#include "run/NodeRun.h"
#include "run/TraversalLoop.h"
#include "run/TraversalPlan.h"

#include <algorithm>
#include <optional>

namespace datagraph {

class GraphSteps;

/// RunTraversal over a graph's own steps, instantiated beside them so that they inline.
DATAGRAPH_HIDDEN void RunTraversal(GraphSteps& steps, ITraversalObserver* observer);

class DATAGRAPH_HIDDEN GraphSteps {
public:
    GraphSteps(Graph& graph, const GUID& executionSubgraph);

    std::size_t Count() const { return order.size(); }

    const GUID& Id(std::size_t i) const { return ids[i]; }

    bool IsMember(std::size_t i) const { return plan->roles[i] != TraversalRole::OutsideSubgraph; }

    bool IsUnconnected(std::size_t i) {
        return RecordsAreCurrent() ? plan->roles[i] == TraversalRole::Unconnected
                                   : Interface().IsUnconnected(i);
    }

    bool InputsAreReady(std::size_t i);

    IdentifierSet UnmarkedLinkedInputPins(std::size_t i) {
        return Interface().UnmarkedLinkedInputPins(i);
    }

    ITraversableNode& Node(std::size_t i) {
        return RecordsAreCurrent() ? order[i]->Object() : Interface().Node(i);
    }

    bool MayBeLeftAsItIs(std::size_t) const { return false; }

    /// Asks for what the nodes a few steps further along will touch, so that it is in the cache
    /// by the time they run: the order's records lie all over the heap. Reads only records that
    /// are alive, while the structure is the one the order was made from.
    void LookAhead(std::size_t i) const {
        if (!RecordsAreCurrent()) {
            return;
        }
        if (i + recordDistance < order.size()) {
            PrefetchLines(order[i + recordDistance], 2);
        }
        if (i + pinDistance < order.size()) {
            const GraphStore::NodeRecord& node = *order[i + pinDistance];
            PrefetchLines(node.SharedObject().get(), 1);
            PrefetchPins(node.InputPins());
            PrefetchPins(node.OutputPins());
        }
        if (i + functionDistance < order.size()) {
            const GraphStore::NodeRecord& node = *order[i + functionDistance];
            // Two lines: what a host's Execute reads may lie past the first, as the pin ids of a
            // function node do when the object does not start a line.
            PrefetchLines(node.Function().get(), 2);
            const GraphStore::PinList& outputs = node.OutputPins();
            for (std::size_t k = 0; k < std::min(outputs.size(), prefetchedPins); ++k) {
                PrefetchPins(outputs[k]->Downstream());
            }
        }
    }

    TrackedExecution TrackExecution(std::size_t i) {
        return TrackedExecution(GraphStore::Of(graph), RecordsAreCurrent() ? order[i] : nullptr);
    }

    void Execute(std::size_t i, ITraversableNode& node);
    void MoveDataDownstream(std::size_t i);

private:
    // Each stage reads what the one before asked for.
    static constexpr std::size_t recordDistance = 8;
    static constexpr std::size_t pinDistance = 4;
    static constexpr std::size_t functionDistance = 2;
    static constexpr std::size_t prefetchedPins = 4; // of each list

    static void PrefetchPins(const GraphStore::PinList& pins) {
        for (std::size_t k = 0; k < std::min(pins.size(), prefetchedPins); ++k) {
            PrefetchLines(pins[k], 2);
        }
    }

    bool RecordsAreCurrent() const { return GraphStore::Of(graph).StructureVersion() == version; }

    InterfaceSteps& Interface();

    Graph& graph;
    // Held for the whole run: a node function's edits replace the graph's cached plan, not this.
    const std::shared_ptr<const GraphStore::TraversalPlan> plan;
    const std::vector<const GraphStore::NodeRecord*>& order;
    const IdentifierList& ids;
    const std::uint64_t version;
    std::optional<InterfaceSteps> fallback;
    InputMaps inputs;
};

} // namespace datagraph
