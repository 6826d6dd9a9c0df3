#include <datagraph/Graph.h>

#include "Checks.h"
#include "history/HistoryLog.h"
#include "store/GraphStore.h"

namespace datagraph {
namespace {

IdentifierSet PinIds(const GraphStore::PinList& pins) {
    IdentifierSet ids;
    ids.reserve(pins.size());
    for (const GraphStore::PinRecord* pin : pins) {
        ids.insert(pin->Id());
    }
    return ids;
}

} // namespace

void Graph::LinkPins(const GUID& outputPinId, const GUID& inputPinId) {
    GraphStore::PinRecord* upstream = store->FindPin(outputPinId);
    CheckThat(upstream != nullptr, "Output pin does not exist.");
    GraphStore::PinRecord* downstream = store->FindPin(inputPinId);
    CheckThat(downstream != nullptr, "Input pin does not exist.");
    if (downstream->Upstream() != nullptr) {
        CheckThat(downstream->Upstream() == upstream,
                  "The input pin is already connected to a different upstream output pin.");
        return;
    }

    EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store);
    if (history != nullptr) {
        history->Reserve();
    }
    store->AddLink(*upstream, *downstream);
    if (history != nullptr) {
        const auto index = static_cast<std::uint32_t>(upstream->Downstream().size() - 1);
        history->Commit(GraphStore::Toggles::Link{upstream, downstream, index, true, {}});
    }
    if (IGraphEditObserver* observer = store->EditObserver()) {
        observer->LinkMade(upstream->Id(), downstream->Id());
    }
}

void Graph::UnlinkPins(const GUID& outputPinId, const GUID& inputPinId) {
    GraphStore::PinRecord* downstream = store->FindPin(inputPinId);
    CheckThat(downstream != nullptr && downstream->Upstream() != nullptr, "");
    CheckThat(downstream->Upstream()->Id() == outputPinId, "");

    GraphStore::PinRecord* upstream = store->FindPin(outputPinId);
    if (EditHistory::Impl* history = EditHistory::Impl::ForStructuralEdit(*store)) {
        ApplyRecorded(*store, *history,
                      GraphStore::Toggles::Link{upstream, downstream, 0, true, {}});
    } else {
        store->RemoveUpstreamLink(*downstream);
    }
    if (IGraphEditObserver* observer = store->EditObserver()) {
        observer->LinkRemoved(upstream->Id(), downstream->Id());
    }
}

// A link from the pin whose id is the null GUID stays: its upstream pin reads as "none".
void Graph::UnlinkInputPin(const GUID& inputPinId) {
    const GUID upstreamPinId = GetUpstreamPin(inputPinId);
    if (upstreamPinId == GetNullGUID()) {
        return;
    }
    UnlinkPins(upstreamPinId, inputPinId);
}

GUID Graph::GetUpstreamPin(const GUID& inputPinId) const {
    const GraphStore::PinRecord* pin = store->FindPin(inputPinId);
    return pin != nullptr && pin->Upstream() != nullptr ? pin->Upstream()->Id() : GetNullGUID();
}

bool Graph::HasUpstreamPin(const GUID& inputPinId) const {
    const GraphStore::PinRecord* pin = store->FindPin(inputPinId);
    return pin != nullptr && pin->Upstream() != nullptr;
}

IdentifierSet Graph::GetDownstreamPins(const GUID& outputPinId) const {
    const GraphStore::PinRecord* pin = store->FindPin(outputPinId);
    return pin != nullptr ? PinIds(pin->Downstream()) : IdentifierSet();
}

GUID Graph::GetOwningNode(const GUID& pinId) const {
    const GraphStore::PinRecord* pin = store->FindPin(pinId);
    CheckThat(pin != nullptr, "Pin not associated with a node.");
    return pin->Owner().Id();
}

IdentifierSet Graph::GetInputPins(const GUID& nodeId) const {
    return PrivateHelper_GetPins(nodeId, false);
}

IdentifierSet Graph::GetOutputPins(const GUID& nodeId) const {
    return PrivateHelper_GetPins(nodeId, true);
}

IdentifierSet Graph::PrivateHelper_GetPins(const GUID& nodeId, bool outputPins) const {
    const GraphStore::NodeRecord* node = store->FindNode(nodeId);
    if (node == nullptr) {
        return IdentifierSet();
    }
    return PinIds(node->Pins(outputPins));
}

IdentifierSet Graph::GetInputNodes(const GUID& nodeId) const {
    return PrivateHelper_GetAttachedNodes(nodeId, true);
}

IdentifierSet Graph::GetOutputNodes(const GUID& nodeId) const {
    return PrivateHelper_GetAttachedNodes(nodeId, false);
}

// An input pin without an upstream link contributes the far ends of the links that leave it: it
// has some only when a host linked it as the upstream end.
IdentifierSet Graph::PrivateHelper_GetAttachedNodes(const GUID& nodeId, bool inputNodes) const {
    IdentifierSet attachedNodes;
    const GraphStore::NodeRecord* node = store->FindNode(nodeId);
    if (node == nullptr) {
        return attachedNodes;
    }
    for (const GraphStore::PinRecord* pin : node->Pins(!inputNodes)) {
        if (inputNodes && pin->Upstream() != nullptr) {
            attachedNodes.insert(pin->Upstream()->Owner().Id());
            continue;
        }
        for (const GraphStore::PinRecord* downstream : pin->Downstream()) {
            attachedNodes.insert(downstream->Owner().Id());
        }
    }
    return attachedNodes;
}

bool Graph::NodeIsUnconnected(const GUID& nodeId) const {
    const GraphStore::NodeRecord* node = store->FindNode(nodeId);
    return node == nullptr || node->IsUnconnected();
}

const std::multimap<GUID, GUID>& Graph::GetPinToPinEdges() const {
    return store->LiveLinks();
}

} // namespace datagraph
