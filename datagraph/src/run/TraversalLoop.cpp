#include "run/TraversalLoop.h"

#include "run/NodeRun.h"

namespace datagraph {

IdentifierSet InterfaceSteps::UnmarkedLinkedInputPins(std::size_t i) {
    IdentifierSet unmarked;
    for (const GUID& pinId : graph.GetInputPins(order[i])) {
        if (graph.HasUpstreamPin(pinId) && !graph.GetTraversablePin(pinId).HasUpdatedData()) {
            unmarked.insert(pinId);
        }
    }
    return unmarked;
}

bool InterfaceSteps::InputsAreReady(const GUID& nodeId) {
    bool loaded = true;
    for (const GUID& pinId : graph.GetInputPins(nodeId)) {
        if (graph.HasUpstreamPin(pinId)) {
            loaded = graph.GetTraversablePin(pinId).HasUpdatedData() && loaded;
        }
    }
    return loaded;
}

void InterfaceSteps::MoveDataDownstream(const GUID& nodeId) {
    datagraph::MoveDataDownstream(*this, nodeId);
}

} // namespace datagraph
