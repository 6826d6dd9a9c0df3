#include <datagraph/Graph.h>

#include "Checks.h"
#include "GraphFields.h"

namespace datagraph {

void Graph::LinkPins(const GUID& outputPinId, const GUID& inputPinId) {
    Fields::PinRecord* upstream = fields->FindPin(outputPinId);
    CheckThat(upstream != nullptr, "Output pin does not exist.");
    Fields::PinRecord* downstream = fields->FindPin(inputPinId);
    CheckThat(downstream != nullptr, "Input pin does not exist.");
    if (downstream->upstream != nullptr) {
        CheckThat(downstream->upstream == upstream,
                  "The input pin is already connected to a different upstream output pin.");
        return;
    }

    fields->AddLink(*upstream, *downstream);
}

void Graph::UnlinkPins(const GUID& outputPinId, const GUID& inputPinId) {
    Fields::PinRecord* downstream = fields->FindPin(inputPinId);
    GraphAssert(downstream != nullptr && downstream->upstream != nullptr);
    GraphAssert(downstream->upstream->pin.GetId() == outputPinId);

    fields->RemoveUpstreamLink(*downstream);
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
    const Fields::PinRecord* pin = fields->FindPin(inputPinId);
    return pin != nullptr && pin->upstream != nullptr ? pin->upstream->pin.GetId() : GetNullGUID();
}

bool Graph::HasUpstreamPin(const GUID& inputPinId) const {
    const Fields::PinRecord* pin = fields->FindPin(inputPinId);
    return pin != nullptr && pin->upstream != nullptr;
}

IdentifierSet Graph::GetDownstreamPins(const GUID& outputPinId) const {
    const Fields::PinRecord* pin = fields->FindPin(outputPinId);
    return pin != nullptr ? Fields::PinIds(pin->downstream) : IdentifierSet();
}

GUID Graph::GetOwningNode(const GUID& pinId) const {
    const Fields::PinRecord* pin = fields->FindPin(pinId);
    CheckThat(pin != nullptr, "Pin not associated with a node.");
    return pin->owner->id;
}

IdentifierSet Graph::GetInputPins(const GUID& nodeId) const {
    return PrivateHelper_GetPins(nodeId, false);
}

IdentifierSet Graph::GetOutputPins(const GUID& nodeId) const {
    return PrivateHelper_GetPins(nodeId, true);
}

IdentifierSet Graph::PrivateHelper_GetPins(const GUID& nodeId, bool outputPins) const {
    const Fields::NodeRecord* node = fields->FindNode(nodeId);
    if (node == nullptr) {
        return IdentifierSet();
    }
    return Fields::PinIds(outputPins ? node->outputPins : node->inputPins);
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
    const Fields::NodeRecord* node = fields->FindNode(nodeId);
    if (node == nullptr) {
        return attachedNodes;
    }
    for (const Fields::PinRecord* pin : inputNodes ? node->inputPins : node->outputPins) {
        if (inputNodes && pin->upstream != nullptr) {
            attachedNodes.insert(pin->upstream->owner->id);
            continue;
        }
        for (const Fields::PinRecord* downstream : pin->downstream) {
            attachedNodes.insert(downstream->owner->id);
        }
    }
    return attachedNodes;
}

bool Graph::NodeIsUnconnected(const GUID& nodeId) const {
    const Fields::NodeRecord* node = fields->FindNode(nodeId);
    return node == nullptr || Fields::IsUnconnected(*node);
}

const std::multimap<GUID, GUID>& Graph::GetPinToPinEdges() const {
    return fields->LiveLinks();
}

} // namespace datagraph
