#include <datagraph/Diagnostics.h>

#include "DiagnosticsNames.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace datagraph {

namespace {

using namespace diagnostics;

using Link = std::pair<GUID, GUID>;

struct Step {
    GUID next;
    Link link;
};

using Successors = std::map<GUID, std::vector<Step>>;

// Only links from an output pin to an input pin, in the link table's order, so that the search
// and the cycle it finds are the same for the same graph.
Successors SuccessorsOf(const Graph& graph) {
    Successors successors;
    for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
        const std::optional<PinOwner> from = OwnerOf(graph, upstream);
        const std::optional<PinOwner> to = OwnerOf(graph, downstream);
        if (from && to && from->side == PinSide::Output && to->side == PinSide::Input) {
            successors[from->node].push_back({to->node, {upstream, downstream}});
        }
    }
    return successors;
}

// A depth-first search with an explicit stack, so that a long chain cannot exhaust the call
// stack. A link to a node still on the path closes a cycle.
class CycleSearch {
public:
    explicit CycleSearch(const Graph& graph)
        : successors(SuccessorsOf(graph)) {}

    GraphCycle From(const GUID& start) {
        if (finished.count(start) != 0) {
            return {};
        }
        path.push_back({start, 0, {}});
        onPath.insert(start);
        while (!path.empty()) {
            Frame& frame = path.back();
            const std::vector<Step>& steps = successors[frame.node];
            if (frame.nextStep == steps.size()) {
                onPath.erase(frame.node);
                finished.insert(frame.node);
                path.pop_back();
                continue;
            }
            const Step step = steps[frame.nextStep++];
            if (onPath.count(step.next) != 0) {
                return CycleEndingWith(step);
            }
            if (finished.count(step.next) == 0) {
                path.push_back({step.next, 0, step.link});
                onPath.insert(step.next);
            }
        }
        return {};
    }

private:
    struct Frame {
        GUID node;
        std::size_t nextStep;
        Link linkIn;
    };

    GraphCycle CycleEndingWith(const Step& closing) const {
        std::size_t first = path.size() - 1;
        while (path[first].node != closing.next) {
            --first;
        }
        GraphCycle cycle;
        for (std::size_t at = first; at < path.size(); ++at) {
            cycle.nodes.push_back(path[at].node);
            if (at > first) {
                cycle.links.push_back(path[at].linkIn);
            }
        }
        cycle.links.push_back(closing.link);
        return cycle;
    }

    Successors successors;
    std::vector<Frame> path;
    IdentifierSet onPath;
    IdentifierSet finished;
};

void CheckCycle(const Graph& graph, std::vector<GraphProblem>& problems) {
    const GraphCycle cycle = FindCycle(graph);
    if (cycle.nodes.empty()) {
        return;
    }
    std::string names;
    for (const GUID& nodeId : cycle.nodes) {
        names += NodeName(graph, nodeId) + " -> ";
    }
    names += NodeName(graph, cycle.nodes.front());
    problems.push_back({GraphProblemKind::Cycle, cycle.nodes,
                        "Links form the cycle " + names +
                            ": every traversal of this graph fails with \"Topo sort did not "
                            "account for all nodes.\" before any node runs"});
}

void CheckLinkSides(const Graph& graph, std::vector<GraphProblem>& problems) {
    for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
        const std::optional<PinOwner> from = OwnerOf(graph, upstream);
        const std::optional<PinOwner> to = OwnerOf(graph, downstream);
        std::string fault;
        if (!from || !to) {
            fault = "names a pin that belongs to no node";
        } else if (from->side != PinSide::Output) {
            fault = "leaves an input pin";
        } else if (to->side != PinSide::Input) {
            fault = "ends on an output pin";
        } else {
            continue;
        }
        problems.push_back({GraphProblemKind::LinkEndOnWrongSide,
                            {upstream, downstream},
                            "The link " + QualifiedPinName(graph, upstream) + " -> " +
                                QualifiedPinName(graph, downstream) + " " + fault +
                                "; links run from an output pin to an input pin, and a traversal "
                                "of this graph fails or runs its nodes out of order"});
    }
}

void CheckLinkTypes(const Graph& graph, std::vector<GraphProblem>& problems) {
    for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
        const std::optional<PinOwner> fromOwner = OwnerOf(graph, upstream);
        const std::optional<PinOwner> toOwner = OwnerOf(graph, downstream);
        if (!fromOwner || !toOwner || fromOwner->side != PinSide::Output ||
            toOwner->side != PinSide::Input) {
            continue; // reported as a link on the wrong side
        }
        const std::type_info& from = graph.GetConstPin(upstream).GetDataType();
        const std::type_info& to = graph.GetConstPin(downstream).GetDataType();
        if (from == to) {
            continue;
        }
        problems.push_back({GraphProblemKind::LinkedPinTypesDiffer,
                            {upstream, downstream},
                            "The link " + QualifiedPinName(graph, upstream) + " -> " +
                                QualifiedPinName(graph, downstream) + " joins a pin of type " +
                                TypeName(from) + " to one of type " + TypeName(to) +
                                ": moving a value along it fails with \"Data value has "
                                "incorrect type\", and the upstream node's step is logged and "
                                "skipped"});
    }
}

void CheckUnconnectedNodes(const Graph& graph, std::vector<GraphProblem>& problems) {
    for (const GUID& nodeId : Sorted(graph.GetNodesInArbitraryOrder())) {
        bool unconnected = false;
        try {
            unconnected = graph.NodeIsUnconnected(nodeId);
        } catch (const GraphException&) {
            continue; // a link naming a pin without owner, reported with the links
        }
        if (unconnected) {
            problems.push_back(
                {GraphProblemKind::NodeNeverRuns,
                 {nodeId},
                 "The node " + NodeName(graph, nodeId) + " has no link, so no traversal runs it"});
        }
    }
}

void CheckSubgraphEntries(const Graph& graph, std::vector<GraphProblem>& problems) {
    for (const GUID& subgraph : Sorted(graph.GetExecutionSubgraphs())) {
        for (const GUID& nodeId : Sorted(graph.GetNodesInExecutionSubgraph(subgraph))) {
            if (graph.HasNode(nodeId)) {
                continue;
            }
            problems.push_back({GraphProblemKind::SubgraphEntryNamesNoNode,
                                {subgraph, nodeId},
                                "The execution subgraph " + GUIDToString(subgraph) + " lists " +
                                    GUIDToString(nodeId) +
                                    ", which is no node of the graph; Clear() fails with \"All "
                                    "nodes should have already been removed.\""});
        }
    }
}

} // namespace

GraphCycle FindCycle(const Graph& graph) {
    CycleSearch search(graph);
    for (const GUID& nodeId : Sorted(graph.GetNodesInArbitraryOrder())) {
        GraphCycle cycle = search.From(nodeId);
        if (!cycle.nodes.empty()) {
            return cycle;
        }
    }
    return {};
}

std::vector<GraphProblem> CheckGraph(const Graph& graph) {
    std::vector<GraphProblem> problems;
    CheckCycle(graph, problems);
    CheckLinkSides(graph, problems);
    CheckLinkTypes(graph, problems);
    CheckUnconnectedNodes(graph, problems);
    CheckSubgraphEntries(graph, problems);
    return problems;
}

} // namespace datagraph
