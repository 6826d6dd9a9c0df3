#include <datagraph/Graph.h>

#include "Checks.h"
#include "history/HistoryLog.h"
#include "store/GraphStore.h"

#include <datagraph/UbernodeNodeFunction.h>

#include <unordered_set>
#include <utility>
#include <vector>

namespace datagraph {
namespace {

using LinkIds = std::vector<std::pair<GUID, GUID>>;

// The links that go when `pin` does, each once: those among the pins of `leaving` (a node that
// goes as a whole, or null) are listed only on their downstream end.
void CollectLinksOf(const GraphStore::PinRecord& pin, const GraphStore::NodeRecord* leaving,
                    LinkIds& links) {
    if (pin.Upstream() != nullptr) {
        links.emplace_back(pin.Upstream()->Id(), pin.Id());
    }
    for (const GraphStore::PinRecord* downstream : pin.Downstream()) {
        const bool listedThere =
            leaving != nullptr ? downstream->IsOwnedBy(*leaving) : downstream == &pin;
        if (!listedThere) {
            links.emplace_back(pin.Id(), downstream->Id());
        }
    }
}

void NotifyLinksRemoved(IGraphEditObserver& observer, const LinkIds& links) {
    for (const auto& [upstream, downstream] : links) {
        observer.LinkRemoved(upstream, downstream);
    }
}

} // namespace

void Graph::CreateNode(std::shared_ptr<INodeFunction> function, const GUID& executionSubgraph) {
    CheckThat(function != nullptr, "Node function cannot be null");
    const GUID nodeId = function->GetId();
    CheckThat(!HasNode(nodeId), "GUID is already assigned to an existing node.");
    CheckThat(!PrivateHelper_WouldContainItself(*function),
              "An ubernode cannot be a node of its own inner graph, nor of a graph nested in it.");
    const Schema inputSchema = function->GetInputSchema();
    const Schema outputSchema = function->GetOutputSchema();
    auto node = std::make_shared<Node>(*this, std::move(function));
    const GUID& subgraph =
        executionSubgraph == GetNullGUID() ? store->DefaultExecutionSubgraph() : executionSubgraph;

    EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store);
    if (history != nullptr) {
        history->Reserve();
    }
    // The store's insertion of each pin doubles as the check that its id is free.
    CheckThat(store->TryAddNode(nodeId, std::move(node), inputSchema, outputSchema, subgraph),
              "Requested pin id is already being used by another pin.");
    if (history != nullptr) {
        history->Commit(GraphStore::Toggles::Node(*store->FindNode(nodeId), true, true));
    }
    if (IGraphEditObserver* observer = store->EditObserver()) {
        observer->NodeCreated(nodeId);
    }
}

// Whether `function` is an ubernode whose inner graph is this graph or nests it at any depth.
bool Graph::PrivateHelper_WouldContainItself(const INodeFunction& function) const {
    if (store->HoldingUbernodes() == 0) { // this graph is nobody's inner graph
        return false;
    }
    const auto* ubernode = dynamic_cast<const UbernodeNodeFunction*>(&function);
    if (ubernode == nullptr) {
        return false;
    }
    std::vector<const Graph*> pending{ubernode->GetGraph()};
    std::unordered_set<const Graph*> seen;
    while (!pending.empty()) {
        const Graph* graph = pending.back();
        pending.pop_back();
        if (graph == this) {
            return true;
        }
        if (!seen.insert(graph).second) {
            continue;
        }
        graph->store->ForEachNode([&pending](const GraphStore::NodeRecord& node) {
            const INodeFunction& nodeFunction = *node.Function();
            if (const auto* inner = dynamic_cast<const UbernodeNodeFunction*>(&nodeFunction)) {
                pending.push_back(inner->GetGraph());
            }
        });
    }
    return false;
}

void Graph::CreateInputPin(const GUID& nodeId, const GUID& pinId, const std::type_info& dataType) {
    PrivateHelper_CreatePin(nodeId, pinId, dataType, false);
}

void Graph::CreateOutputPin(const GUID& nodeId, const GUID& pinId, const std::type_info& dataType) {
    PrivateHelper_CreatePin(nodeId, pinId, dataType, true);
}

void Graph::PrivateHelper_CreatePin(const GUID& nodeId, const GUID& pinId,
                                    const std::type_info& dataType, bool outputPin) {
    GraphStore::NodeRecord* node = store->FindNode(nodeId);
    CheckThat(node != nullptr, "Node does not exist");

    EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store);
    if (history != nullptr) {
        history->Reserve();
    }
    CheckThat(store->TryAddPin(*node, pinId, dataType, outputPin),
              "Requested pin id is already being used by another pin.");
    if (history != nullptr) {
        history->Commit(GraphStore::Toggles::Pin(*store->FindPin(pinId), true));
    }
    if (IGraphEditObserver* observer = store->EditObserver()) {
        observer->PinCreated(node->Id(), pinId, outputPin);
    }
}

void Graph::DestroyInputPin(const GUID& nodeId, const GUID& pinId) {
    PrivateHelper_DestroyPin(nodeId, pinId, false);
}

void Graph::DestroyOutputPin(const GUID& nodeId, const GUID& pinId) {
    PrivateHelper_DestroyPin(nodeId, pinId, true);
}

void Graph::PrivateHelper_DestroyPin(const GUID& nodeId, GUID pinId, bool outputPin) {
    const GraphStore::NodeRecord* node = store->FindNode(nodeId);
    CheckThat(node != nullptr, "The node must exist for us to destroy its pin.");
    GraphStore::PinRecord* pin = store->FindPin(pinId);
    CheckThat(pin != nullptr && pin->IsOutput() == outputPin, "");
    CheckThat(pin->IsOwnedBy(*node), "");

    IGraphEditObserver* observer = store->EditObserver();
    EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store);
    if (observer == nullptr && history == nullptr) {
        store->DestroyPin(*pin);
        return;
    }
    const GUID ownerId = node->Id();
    LinkIds links;
    if (observer != nullptr) {
        CollectLinksOf(*pin, nullptr, links);
    }
    if (history != nullptr) {
        // The pin leaves with its value and links, kept by the history.
        GraphStore::Toggles::Pin toggle(*pin, true);
        ApplyRecorded(*store, *history, std::move(toggle));
    } else {
        store->DestroyPin(*pin);
    }
    if (observer == nullptr) {
        return;
    }
    NotifyLinksRemoved(*observer, links);
    observer->PinDestroyed(ownerId, pinId, outputPin);
}

void Graph::DestroyNode(const GUID& nodeIdArgument) {
    const GUID nodeId = nodeIdArgument; // the argument may refer into a table that changes below
    GraphStore::NodeRecord* node = store->FindNode(nodeId);
    if (node == nullptr && !store->HasEntriesOfAbsentNode(nodeId)) {
        return; // names nothing
    }
    EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store);
    if (node == nullptr) {
        bool removed = false;
        if (history != nullptr && store->HasEntriesOfAbsentNode(nodeId)) {
            ApplyRecorded(*store, *history, GraphStore::Toggles::AbsentEntries(nodeId));
            removed = true;
        } else if (history == nullptr) {
            removed = store->DestroyEntriesOfAbsentNode(nodeId);
        }
        if (removed) {
            if (IGraphEditObserver* observer = store->EditObserver()) {
                observer->SubgraphEntriesRemoved(nodeId);
            }
        }
        return;
    }
    IGraphEditObserver* observer = store->EditObserver();
    if (observer == nullptr && history == nullptr) {
        store->DestroyNode(*node);
        return;
    }
    LinkIds links;
    if (observer != nullptr) {
        for (const GraphStore::PinRecord* pin : node->InputPins()) {
            CollectLinksOf(*pin, node, links);
        }
        for (const GraphStore::PinRecord* pin : node->OutputPins()) {
            CollectLinksOf(*pin, node, links);
        }
    }
    if (history != nullptr) {
        // The node leaves with its function, pins, values, links and entries, kept by the
        // history.
        ApplyRecorded(*store, *history, GraphStore::Toggles::Node(*node, true, false));
    } else {
        store->DestroyNode(*node);
    }
    if (observer == nullptr) {
        return;
    }
    NotifyLinksRemoved(*observer, links);
    observer->NodeDestroyed(nodeId);
}

void Graph::SetDirty(const GUID& nodeId, bool dirty) {
    GetNode(nodeId).SetDirty(dirty);
}

} // namespace datagraph
