#include <datagraph/Diagnostics.h>

#include "DiagnosticsNames.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace datagraph {

namespace {

using namespace diagnostics;

using Link = std::pair<GUID, GUID>;

struct Step {
    std::size_t next;
    Link link;
};

// The links from an output pin to an input pin, by the place of their upstream node, each node's
// in the link table's order, so that the search and the cycle it finds are the same for the same
// graph. Nodes are numbered by their place in id order: every look-up during the search is an
// array read.
class Successors {
public:
    explicit Successors(const GraphIndex& index)
        : first(index.SortedNodes().size() + 1, 0) {
        std::vector<std::pair<std::size_t, Step>> steps;
        for (const auto& [upstream, downstream] : index.GetGraph().GetPinToPinEdges()) {
            const auto from = index.OwnerPlaceOf(upstream);
            const auto to = index.OwnerPlaceOf(downstream);
            if (from && to && from->second == PinSide::Output && to->second == PinSide::Input) {
                steps.push_back({from->first, {to->first, {upstream, downstream}}});
                ++first[from->first + 1];
            }
        }
        for (std::size_t place = 1; place < first.size(); ++place) {
            first[place] += first[place - 1];
        }
        std::vector<std::size_t> filled(first.begin(), first.end() - 1);
        all.resize(steps.size());
        for (const auto& [from, step] : steps) {
            all[filled[from]++] = step;
        }
    }

    std::size_t Begin(std::size_t node) const { return first[node]; }

    std::size_t End(std::size_t node) const { return first[node + 1]; }

    const Step& At(std::size_t at) const { return all[at]; }

private:
    std::vector<std::size_t> first; // node's steps are all[first[node]] to all[first[node + 1]]
    std::vector<Step> all;
};

// A depth-first search with an explicit stack, so that a long chain cannot exhaust the call
// stack. A link to a node still on the path closes a cycle.
class CycleSearch {
public:
    explicit CycleSearch(const GraphIndex& index)
        : index(index)
        , successors(index)
        , states(index.SortedNodes().size(), State::New) {}

    GraphCycle From(std::size_t start) {
        if (states[start] != State::New) {
            return {};
        }
        path.push_back({start, successors.Begin(start), {}});
        states[start] = State::OnPath;
        while (!path.empty()) {
            Frame& frame = path.back();
            if (frame.nextStep == successors.End(frame.node)) {
                states[frame.node] = State::Finished;
                path.pop_back();
                continue;
            }
            const Step& step = successors.At(frame.nextStep++);
            if (states[step.next] == State::OnPath) {
                return CycleEndingWith(step);
            }
            if (states[step.next] == State::New) {
                path.push_back({step.next, successors.Begin(step.next), step.link});
                states[step.next] = State::OnPath;
            }
        }
        return {};
    }

private:
    enum class State : std::uint8_t { New, OnPath, Finished };

    struct Frame {
        std::size_t node;
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
            cycle.nodes.push_back(index.SortedNodes()[path[at].node]);
            if (at > first) {
                cycle.links.push_back(path[at].linkIn);
            }
        }
        cycle.links.push_back(closing.link);
        return cycle;
    }

    const GraphIndex& index;
    Successors successors;
    std::vector<State> states;
    std::vector<Frame> path;
};

// The graph keeps its order, and an order waits for every link, so a graph that has one has no
// cycle and needs no search.
bool HasTopologicalOrder(const Graph& graph) {
    try {
        graph.GetNodesInTopologicalOrder();
        return true;
    } catch (const GraphException&) {
        return false;
    }
}

GraphCycle FindCycleIn(const GraphIndex& index) {
    CycleSearch search(index);
    for (std::size_t start = 0; start < index.SortedNodes().size(); ++start) {
        GraphCycle cycle = search.From(start);
        if (!cycle.nodes.empty()) {
            return cycle;
        }
    }
    return {};
}

void CheckCycle(const GraphIndex& index, std::vector<GraphProblem>& problems) {
    const Graph& graph = index.GetGraph();
    const GraphCycle cycle = HasTopologicalOrder(graph) ? GraphCycle() : FindCycleIn(index);
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

void CheckLinkSides(const GraphIndex& index, std::vector<GraphProblem>& problems) {
    for (const auto& [upstream, downstream] : index.GetGraph().GetPinToPinEdges()) {
        const std::optional<PinOwner> from = index.OwnerOf(upstream);
        const std::optional<PinOwner> to = index.OwnerOf(downstream);
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
                            "The link " + QualifiedPinName(index, upstream) + " -> " +
                                QualifiedPinName(index, downstream) + " " + fault +
                                "; links run from an output pin to an input pin, and a traversal "
                                "of this graph fails or runs its nodes out of order"});
    }
}

void CheckLinkTypes(const GraphIndex& index, std::vector<GraphProblem>& problems) {
    const Graph& graph = index.GetGraph();
    for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
        const std::optional<PinOwner> fromOwner = index.OwnerOf(upstream);
        const std::optional<PinOwner> toOwner = index.OwnerOf(downstream);
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
                            "The link " + QualifiedPinName(index, upstream) + " -> " +
                                QualifiedPinName(index, downstream) + " joins a pin of type " +
                                TypeName(from) + " to one of type " + TypeName(to) +
                                ": moving a value along it fails with \"Data value has "
                                "incorrect type\", and the upstream node's step is logged and "
                                "skipped"});
    }
}

void CheckUnconnectedNodes(const GraphIndex& index, std::vector<GraphProblem>& problems) {
    const Graph& graph = index.GetGraph();
    for (const GUID& nodeId : index.SortedNodes()) {
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
        IdentifierSet strays;
        for (const GUID& nodeId : graph.GetNodesInExecutionSubgraph(subgraph)) {
            if (!graph.HasNode(nodeId)) {
                strays.insert(nodeId);
            }
        }
        for (const GUID& nodeId : Sorted(strays)) {
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
    return HasTopologicalOrder(graph) ? GraphCycle() : FindCycleIn(GraphIndex(graph));
}

std::vector<GraphProblem> CheckGraph(const Graph& graph) {
    const GraphIndex index(graph);
    std::vector<GraphProblem> problems;
    CheckCycle(index, problems);
    CheckLinkSides(index, problems);
    CheckLinkTypes(index, problems);
    CheckUnconnectedNodes(index, problems);
    CheckSubgraphEntries(graph, problems);
    return problems;
}

} // namespace datagraph
