#include <datagraph/Graph.h>

#include "GraphFields.h"

namespace datagraph {

void Graph::LinkPins(const GUID& outputPinId, const GUID& inputPinId) {
    GraphAssert(HasPin(outputPinId), "Output pin does not exist.");
    GraphAssert(HasPin(inputPinId), "Input pin does not exist.");
    if (fields->pinToPinEdges.HasValue(inputPinId)) {
        GraphAssert(fields->pinToPinEdges.GetKey(inputPinId) == outputPinId,
                    "The input pin is already connected to a different upstream output pin.");
        return;
    }

    fields->pinToPinEdges.Add(outputPinId, inputPinId);
}

void Graph::UnlinkPins(const GUID& outputPinId, const GUID& inputPinIdArgument) {
    const GUID inputPinId = inputPinIdArgument; // may refer into the link table
    GraphAssert(fields->pinToPinEdges.HasValue(inputPinId));
    GraphAssert(fields->pinToPinEdges.GetKey(inputPinId) == outputPinId);

    fields->pinToPinEdges.RemoveValue(inputPinId);
}

void Graph::UnlinkInputPin(const GUID& inputPinId) {
    const GUID upstreamPinId = GetUpstreamPin(inputPinId);
    if (upstreamPinId == GetNullGUID()) {
        return;
    }
    UnlinkPins(upstreamPinId, inputPinId);
}

GUID Graph::GetUpstreamPin(const GUID& inputPinId) const {
    return HasUpstreamPin(inputPinId) ? fields->pinToPinEdges.GetKey(inputPinId) : GetNullGUID();
}

bool Graph::HasUpstreamPin(const GUID& inputPinId) const {
    return fields->pinToPinEdges.HasValue(inputPinId);
}

IdentifierSet Graph::GetDownstreamPins(const GUID& outputPinId) const {
    return fields->pinToPinEdges.GetValues(outputPinId);
}

GUID Graph::GetOwningNode(const GUID& pinId) const {
    if (fields->nodeToInputPins.HasValue(pinId)) {
        return fields->nodeToInputPins.GetKey(pinId);
    }
    if (fields->nodeToOutputPins.HasValue(pinId)) {
        return fields->nodeToOutputPins.GetKey(pinId);
    }
    throw GraphException("Pin not associated with a node.");
}

IdentifierSet Graph::GetInputPins(const GUID& nodeId) const {
    return PrivateHelper_GetPins(nodeId, false);
}

IdentifierSet Graph::GetOutputPins(const GUID& nodeId) const {
    return PrivateHelper_GetPins(nodeId, true);
}

IdentifierSet Graph::PrivateHelper_GetPins(const GUID& nodeId, bool outputPins) const {
    return (outputPins ? fields->nodeToOutputPins : fields->nodeToInputPins).GetValues(nodeId);
}

IdentifierSet Graph::GetInputNodes(const GUID& nodeId) const {
    return PrivateHelper_GetAttachedNodes(nodeId, true);
}

IdentifierSet Graph::GetOutputNodes(const GUID& nodeId) const {
    return PrivateHelper_GetAttachedNodes(nodeId, false);
}

IdentifierSet Graph::PrivateHelper_GetAttachedNodes(const GUID& nodeId, bool inputNodes) const {
    IdentifierSet linkedPins;
    for (const GUID& pinId : PrivateHelper_GetPins(nodeId, !inputNodes)) {
        if (inputNodes && HasUpstreamPin(pinId)) {
            linkedPins.insert(GetUpstreamPin(pinId));
        } else {
            for (const GUID& downstreamPinId : GetDownstreamPins(pinId)) {
                linkedPins.insert(downstreamPinId);
            }
        }
    }
    IdentifierSet attachedNodes;
    for (const GUID& pinId : linkedPins) {
        attachedNodes.insert(GetOwningNode(pinId));
    }
    return attachedNodes;
}

bool Graph::NodeIsUnconnected(const GUID& nodeId) const {
    return GetInputNodes(nodeId).empty() && GetOutputNodes(nodeId).empty();
}

const std::multimap<GUID, GUID>& Graph::GetPinToPinEdges() const {
    return fields->pinToPinEdges.GetKeyToValues();
}

} // namespace datagraph
