#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"
#include "ScopedFlagSetter.h"
#include "TraversalLoop.h"

#include <iterator>
#include <optional>

namespace datagraph {

// The traversal's questions answered from the records taken at the start. A node function may
// edit the graph while it runs; from the first such edit on, every answer comes through the
// graph's interface instead, exactly as for any other graph.
class Graph::Fields::TraversalSteps {
public:
    TraversalSteps(Graph& graph, const GUID& executionSubgraph)
        : graph(graph)
        , plan(graph.fields->PlanTraversal(executionSubgraph))
        , order(plan->order->records)
        , ids(plan->order->ids)
        , version(plan->order->version) {}

    std::size_t Count() const { return order.size(); }

    const GUID& Id(std::size_t i) const { return ids[i]; }

    bool IsMember(std::size_t i) const { return plan->roles[i] != Role::Outside; }

    bool IsUnconnected(std::size_t i) {
        return Fresh() ? plan->roles[i] == Role::Unconnected : Interface().IsUnconnected(i);
    }

    bool InputsAreReady(std::size_t i) {
        if (!Fresh()) {
            return Interface().InputsAreReady(i);
        }
        for (const PinRecord* pin : order[i]->inputPins) {
            if (pin->upstream != nullptr && !pin->pin.HasUpdatedData()) {
                return false;
            }
        }
        return true;
    }

    IdentifierSet UnmarkedLinkedInputPins(std::size_t i) {
        return Interface().UnmarkedLinkedInputPins(i);
    }

    ITraversableNode& Node(std::size_t i) {
        return Fresh() ? *order[i]->node : Interface().Node(i);
    }

    // What Node::Execute does, with the node's pins taken from its record.
    void Execute(std::size_t i, ITraversableNode& node) {
        if (!Fresh()) {
            node.Execute();
            return;
        }
        const NodeRecord& record = *order[i];
        const std::shared_ptr<INodeFunction> running = record.node->function;
        const GUID nodeId = running->GetId();
        const DataMap outputs = running->Execute(GatherInputs(record));
        if (!Fresh()) {
            graph.PrivateHelper_WriteOutputs(nodeId, outputs);
            return;
        }
        for (auto entry = outputs.begin(); entry != outputs.end(); ++entry) {
            PinRecord* pin = FindOutputPin(record, entry->first);
            if (pin == nullptr) {
                GraphAssert(false, "Could not find the indicated output pin.");
                return;
            }
            pin->pin.SetData(entry->second);
            if (!Fresh()) { // a value's GetType() edited the graph: the rest goes the long way
                graph.PrivateHelper_WriteOutputs(nodeId, DataMap(std::next(entry), outputs.end()));
                return;
            }
        }
    }

    void MoveDataDownstream(std::size_t i) {
        if (!Fresh()) {
            Interface().MoveDataDownstream(i);
            return;
        }
        for (const PinRecord* output : order[i]->outputPins) {
            if (!output->pin.HasUpdatedData()) {
                continue;
            }
            const std::shared_ptr<const IDataValue> value = output->pin.GetData();
            for (PinRecord* downstream : output->downstream) {
                downstream->pin.SetData(value);
                if (!Fresh()) { // a value's GetType() edited the graph: start this move over
                    Interface().MoveDataDownstream(i);
                    return;
                }
            }
        }
    }

private:
    PinRecord* FindOutputPin(const NodeRecord& node, const GUID& pinId) {
        if (node.outputPins.size() <= 8) {
            for (PinRecord* pin : node.outputPins) {
                if (pin->pin.GetId() == pinId) {
                    return pin;
                }
            }
            return nullptr;
        }
        PinRecord* pin = graph.fields->FindPin(pinId);
        return pin != nullptr && pin->owner == &node && pin->isOutput ? pin : nullptr;
    }

    bool Fresh() const { return graph.fields->structureVersion == version; }

    InterfaceSteps& Interface() {
        if (!fallback) {
            IdentifierSet members;
            for (std::size_t i = 0; i < ids.size(); ++i) {
                if (IsMember(i)) {
                    members.insert(ids[i]);
                }
            }
            fallback.emplace(graph, ids, std::move(members));
        }
        return *fallback;
    }

    Graph& graph;
    // Held for the whole run: a node function's edits replace the graph's cached plan, not this.
    const std::shared_ptr<const TraversalPlan> plan;
    const std::vector<const NodeRecord*>& order;
    const IdentifierList& ids;
    const std::uint64_t version;
    std::optional<InterfaceSteps> fallback;
};

void Graph::Traverse(const GUID& executionSubgraph) {
    PrivateHelper_Traverse(executionSubgraph, nullptr);
}

void Graph::Traverse() {
    Traverse(fields->defaultExecutionSubgraphID);
}

void Graph::Traverse(const GUID& executionSubgraph, ITraversalObserver& observer) {
    PrivateHelper_Traverse(executionSubgraph, &observer);
}

void Graph::Traverse(ITraversalObserver& observer) {
    PrivateHelper_Traverse(fields->defaultExecutionSubgraphID, &observer);
}

void Graph::PrivateHelper_Traverse(const GUID& executionSubgraph, ITraversalObserver* observer) {
    CheckThat(!fields->traversalInProgress,
              "Requested a Traverse within the Traverse of the graph.  This is often due to a "
              "node causing an extra workbook commit");

    Fields::TraversalSteps steps(*this, executionSubgraph);
    ScopedFlagSetter inProgress(true, false,
                                [this](bool value) { fields->traversalInProgress = value; });
    RunTraversal(steps, observer);
}

} // namespace datagraph
