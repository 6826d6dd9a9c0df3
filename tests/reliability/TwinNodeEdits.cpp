#include "TwinHarness.h"

#include <datagraph/Node.h>

namespace datagraph::reliability {

void TwinHarness::CreateNode(const GraphPath& path) {
    const bool top = path.empty();
    const GUID subgraph = top ? Pick(subgraphs) : GetNullGUID();
    std::shared_ptr<INodeFunction> made;
    if (path.size() < 2 && choices.Chance(15)) {
        made = MakeUbernode(static_cast<int>(path.size()));
    } else {
        made = std::make_shared<ProbedFunction>(NewBehaviour(top));
    }
    const GUID node = made->GetId();
    Both("CreateNode " + made->GetName(), path,
         [&](Graph& g, int twin) { g.CreateNode(twin == Full ? made : made->Clone(), subgraph); });
    for (int twin : {Full, Changed}) {
        Configure(twin);
    }
    for (const auto& link : ChooseLinks(Resolve(Full, path), node)) {
        Both("LinkPins " + Named(path, link.first) + " -> " + Named(path, link.second), path,
             [&](Graph& g, int) { g.LinkPins(link.first, link.second); });
    }
}

void TwinHarness::DestroyNode(const GraphPath& path) {
    std::vector<GUID> nodes;
    for (const GUID& node : Nodes(Resolve(Full, path))) {
        if (protectedNodes.count(node) == 0) {
            nodes.push_back(node);
        }
    }
    // An id that names no node, nor anything filed under it, is accepted and changes nothing.
    const bool unknown = nodes.empty() || choices.Chance(3);
    const GUID node = unknown ? NextId() : Pick(nodes);
    Both(
        "DestroyNode " + Named(path, node), path, [&](Graph& g, int) { g.DestroyNode(node); },
        GetNullGUID(), !unknown);
}

void TwinHarness::AssignToSubgraph() {
    const std::vector<GUID> nodes = Nodes(Resolve(Full, {}));
    if (nodes.empty()) {
        return;
    }
    const GUID node = Pick(nodes);
    const GUID subgraph = Pick(subgraphs);
    Both("AssignNodeToExecutionSubgraphs " + Named({}, node), {},
         [&](Graph& g, int) { g.AssignNodeToExecutionSubgraphs(node, subgraph); });
}

// Inside a nested graph it counts as an edit of every ubernode around it: their outputs depend
// on what the node reads.
void TwinHarness::MarkChanged(const GraphPath& path) {
    const std::vector<GUID> nodes = Nodes(Resolve(Full, path));
    const GUID node = nodes.empty() || choices.Chance(5) ? NextId() : Pick(nodes);
    Both(
        "MarkChanged " + Named(path, node), path, [&](Graph& g, int) { g.MarkChanged(node); },
        node);
}

// The state that external functions read changes, and the host says so for each of them.
void TwinHarness::ChangeExternalState() {
    ++external;
    log.push_back("external state changes to " + std::to_string(external));
    const Graph& graph = Resolve(Full, {});
    for (const GUID& node : Nodes(graph)) {
        const auto* function =
            dynamic_cast<const ProbedFunction*>(&graph.GetConstNode(node).GetNodeFunction());
        if (function != nullptr && function->GetBehaviour().external != nullptr) {
            Both(
                "MarkChanged " + Named({}, node), {}, [&](Graph& g, int) { g.MarkChanged(node); },
                node);
        }
    }
}

// A host call of Node::Execute: the node's last execution is then not a traversal's.
void TwinHarness::ExecuteDirectly() {
    const Graph& graph = Resolve(Full, {});
    std::vector<GUID> nodes;
    for (const GUID& node : Nodes(graph)) {
        if (!IsUbernode(graph, node)) {
            nodes.push_back(node);
        }
    }
    if (nodes.empty()) {
        return;
    }
    const GUID node = Pick(nodes);
    Touch({}, node); // a reason for the call, which leaves the node not up to date
    Both(
        "Node::Execute of " + Named({}, node), {},
        [&](Graph& g, int) { g.GetTraversableNode(node).Execute(); }, node);
}

// Links a node's free input to an output of itself or of a node downstream of it.
void TwinHarness::MakeCycle() {
    const Graph& graph = Resolve(Full, {});
    std::vector<GUID> free;
    for (const GUID& pin : Pins(graph)) {
        if (!IsOutput(graph, pin) && !graph.HasUpstreamPin(pin)) {
            free.push_back(pin);
        }
    }
    if (free.empty()) {
        return;
    }
    const GUID to = Pick(free);
    const GUID node = graph.GetOwningNode(to);
    std::vector<GUID> outputs;
    for (const GUID& pin : Pins(graph)) {
        if (IsOutput(graph, pin) && Reaches(graph, node, graph.GetOwningNode(pin))) {
            outputs.push_back(pin);
        }
    }
    if (outputs.empty()) {
        return;
    }
    const GUID from = Pick(outputs);
    Both("LinkPins closing a cycle " + Named({}, from) + " -> " + Named({}, to), {},
         [&](Graph& g, int) { g.LinkPins(from, to); });
    cycleLink = std::make_pair(from, to);
}

void TwinHarness::OpenCycle() {
    const GUID from = cycleLink->first;
    const GUID to = cycleLink->second;
    cycleLink.reset();
    if (Resolve(Full, {}).GetUpstreamPin(to) == from) {
        Both("UnlinkPins opening the cycle", {}, [&](Graph& g, int) { g.UnlinkPins(from, to); });
    }
}

// Both graphs replaced by copies of themselves, made by the copy constructor or assigned: no
// node of a copy is up to date.
void TwinHarness::CopyBoth() {
    const bool assign = choices.Chance(50);
    log.push_back(assign ? "both graphs assigned copies of themselves" : "both graphs copied");
    for (int twin : {Full, Changed}) {
        if (assign) {
            const Graph copy(*twins[twin]);
            *twins[twin] = copy;
        } else {
            twins[twin] = std::make_unique<Graph>(*twins[twin]);
        }
        Configure(twin);
    }
    ++totals.edits;
}

} // namespace datagraph::reliability
