#include <datagraph/Diagnostics.h>

#include "DiagnosticsNames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace datagraph {

namespace {

using namespace diagnostics;

using PinList = GraphStore::PinList;
using NodeRecord = GraphStore::NodeRecord;
using PinRecord = GraphStore::PinRecord;

// A link from an output pin to an input pin, and the place of the node it leads to.
struct Step {
    std::size_t next;
    const PinRecord* upstream;
    const PinRecord* downstream;

    std::pair<GUID, GUID> Link() const { return {upstream->Id(), downstream->Id()}; }
};

// The links from an output pin to an input pin, by the place of their upstream node in the store,
// each node's in the order of the link table (by upstream pin id, then oldest first), so that the
// search and the cycle it finds are the same for the same graph. The steps are gathered in one
// walk over the nodes as they lie in memory, and every look-up during the search is an array read
// by place.
class Successors {
public:
    explicit Successors(const GraphStore& store) {
        records.reserve(store.NodeCount());
        first.reserve(store.NodeCount() + 1);
        first.push_back(0);
        std::vector<const PinRecord*> outputs;
        store.ForEachNode([&](const NodeRecord& node) {
            records.push_back(&node); // at node.Place()
            outputs.assign(node.OutputPins().begin(), node.OutputPins().end());
            SortById(outputs);
            for (const PinRecord* upstream : outputs) {
                for (const PinRecord* downstream : upstream->Downstream()) {
                    if (!downstream->IsOutput()) {
                        all.push_back({downstream->Owner().Place(), upstream, downstream});
                    }
                }
            }
            first.push_back(all.size());
        });
    }

    std::size_t Begin(std::size_t node) const { return first[node]; }

    std::size_t End(std::size_t node) const { return first[node + 1]; }

    const Step& At(std::size_t at) const { return all[at]; }

    const NodeRecord& Record(std::size_t node) const { return *records[node]; }

private:
    std::vector<const NodeRecord*> records; // by place
    std::vector<std::size_t> first; // node's steps are all[first[node]] to all[first[node + 1]]
    std::vector<Step> all;
};

// A depth-first search with an explicit stack, so that a long chain cannot exhaust the call
// stack. A link to a node still on the path closes a cycle.
class CycleSearch {
public:
    explicit CycleSearch(const GraphStore& store)
        : successors(store)
        , states(store.NodeCount(), State::New) {}

    GraphCycle From(std::size_t start) {
        if (states[start] != State::New) {
            return {};
        }
        path.push_back({start, successors.Begin(start), nullptr});
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
                path.push_back({step.next, successors.Begin(step.next), &step});
                states[step.next] = State::OnPath;
            }
        }
        return {};
    }

    /// The nodes of the last cycle found, in its order.
    const std::vector<const NodeRecord*>& CycleRecords() const { return cycleRecords; }

private:
    enum class State : std::uint8_t { New, OnPath, Finished };

    struct Frame {
        std::size_t node;
        std::size_t nextStep;
        const Step* stepIn;
    };

    GraphCycle CycleEndingWith(const Step& closing) {
        std::size_t first = path.size() - 1;
        while (path[first].node != closing.next) {
            --first;
        }
        GraphCycle cycle;
        cycle.nodes.reserve(path.size() - first);
        cycle.links.reserve(path.size() - first);
        for (std::size_t at = first; at < path.size(); ++at) {
            cycleRecords.push_back(&successors.Record(path[at].node));
            cycle.nodes.push_back(cycleRecords.back()->Id());
            if (at > first) {
                cycle.links.push_back(path[at].stepIn->Link());
            }
        }
        cycle.links.push_back(closing.Link());
        return cycle;
    }

    Successors successors;
    std::vector<State> states;
    std::vector<Frame> path;
    std::vector<const NodeRecord*> cycleRecords;
};

// The graph keeps its order, and an order waits for every link, so a graph that has one has no
// cycle and needs no search.
bool HasTopologicalOrder(const Graph& graph) {
    try {
        GraphStore::Of(graph).TopologicalOrder(); // kept, not copied
        return true;
    } catch (const GraphException&) {
        return false;
    }
}

// Each search starts at the node of the smallest id not yet reached. `records`, when given, gets
// the cycle's node records.
GraphCycle FindCycleIn(const GraphIndex& index, std::vector<const NodeRecord*>* records = nullptr) {
    CycleSearch search(index.Store());
    for (const NodeRecord* start : index.SortedRecords()) {
        GraphCycle cycle = search.From(start->Place());
        if (!cycle.nodes.empty()) {
            if (records != nullptr) {
                *records = search.CycleRecords();
            }
            return cycle;
        }
    }
    return {};
}

void CheckCycle(const Graph& graph, std::vector<GraphProblem>& problems) {
    std::vector<const NodeRecord*> records;
    const GraphCycle cycle =
        HasTopologicalOrder(graph) ? GraphCycle() : FindCycleIn(GraphIndex(graph), &records);
    if (cycle.nodes.empty()) {
        return;
    }
    // Every node of the cycle is a node of the graph, named as NodeName names it.
    std::string names;
    for (const NodeRecord* record : records) {
        names += '"';
        names += record->Function()->GetName();
        names += "\" -> ";
    }
    names += '"';
    names += records.front()->Function()->GetName();
    names += '"';
    problems.push_back({GraphProblemKind::Cycle, cycle.nodes,
                        "Links form the cycle " + names +
                            ": every traversal of this graph fails with \"Topo sort did not "
                            "account for all nodes.\" before any node runs"});
}

// A link by its upstream pin and its place among that pin's links, which orders it as the link
// table does.
struct LinkAt {
    const PinRecord* upstream;
    std::size_t at;

    const PinRecord& Downstream() const { return *upstream->Downstream()[at]; }
};

void SortByLinkTable(std::vector<LinkAt>& links) {
    std::sort(links.begin(), links.end(), [](const LinkAt& left, const LinkAt& right) {
        const GUID leftId = left.upstream->Id();
        const GUID rightId = right.upstream->Id();
        return leftId < rightId || (leftId == rightId && left.at < right.at);
    });
}

// What one walk over the nodes in memory order, and over each node's pins, finds: the faulty
// links and the nodes without links, which are few; only those are sorted, the links into the
// link table's order and the nodes by id. The nodes' pins are all the pins.
struct Faults {
    std::vector<LinkAt> wrongSide;
    std::vector<LinkAt> typesDiffer;
    std::vector<const NodeRecord*> unconnected;
};

Faults FindFaults(const GraphStore& store) {
    Faults faults;
    store.ForEachNode([&faults](const NodeRecord& node) {
        if (node.IsUnconnected()) {
            faults.unconnected.push_back(&node);
        }
        for (const bool output : {false, true}) {
            for (const PinRecord* upstream : node.Pins(output)) {
                const PinList& downstream = upstream->Downstream();
                for (std::size_t at = 0; at < downstream.size(); ++at) {
                    if (!upstream->IsOutput() || downstream[at]->IsOutput()) {
                        faults.wrongSide.push_back({upstream, at});
                    } else if (upstream->Object().GetDataType() !=
                               downstream[at]->Object().GetDataType()) {
                        faults.typesDiffer.push_back({upstream, at});
                    }
                }
            }
        }
    });
    SortByLinkTable(faults.wrongSide);
    SortByLinkTable(faults.typesDiffer);
    SortById(faults.unconnected);
    return faults;
}

void CheckLinks(const Graph& graph, const Faults& faults, std::vector<GraphProblem>& problems) {
    for (const LinkAt& link : faults.wrongSide) {
        const GUID upstream = link.upstream->Id();
        const GUID downstream = link.Downstream().Id();
        const char* fault =
            !link.upstream->IsOutput() ? "leaves an input pin" : "ends on an output pin";
        problems.push_back({GraphProblemKind::LinkEndOnWrongSide,
                            {upstream, downstream},
                            "The link " + QualifiedPinName(graph, upstream) + " -> " +
                                QualifiedPinName(graph, downstream) + " " + fault +
                                "; links run from an output pin to an input pin, and a traversal "
                                "of this graph fails or runs its nodes out of order"});
    }
    for (const LinkAt& link : faults.typesDiffer) {
        const GUID upstream = link.upstream->Id();
        const GUID downstream = link.Downstream().Id();
        const std::type_info& from = link.upstream->Object().GetDataType();
        const std::type_info& to = link.Downstream().Object().GetDataType();
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

void CheckUnconnectedNodes(const Graph& graph, const Faults& faults,
                           std::vector<GraphProblem>& problems) {
    for (const NodeRecord* node : faults.unconnected) {
        problems.push_back(
            {GraphProblemKind::NodeNeverRuns,
             {node->Id()},
             "The node " + NodeName(graph, node->Id()) + " has no link, so no traversal runs it"});
    }
}

// An entry names no node exactly when it holds no node record; such entries are few, so only
// they are sorted.
void CheckSubgraphEntries(const Graph& graph, std::vector<GraphProblem>& problems) {
    if (!GraphStore::Of(graph).HasEntriesOfAbsentNodes()) {
        return;
    }
    IdentifierList strays;
    for (const auto& [subgraph, list] : GraphStore::Of(graph).Subgraphs()) {
        strays.clear();
        for (const auto* entry = list.first; entry != nullptr; entry = entry->Next()) {
            if (entry->Node() == nullptr) {
                strays.push_back(entry->NodeId());
            }
        }
        std::sort(strays.begin(), strays.end());
        strays.erase(std::unique(strays.begin(), strays.end()), strays.end());
        for (const GUID& nodeId : strays) {
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
    std::vector<GraphProblem> problems;
    CheckCycle(graph, problems);
    const Faults faults = FindFaults(GraphStore::Of(graph));
    CheckLinks(graph, faults, problems);
    CheckUnconnectedNodes(graph, faults, problems);
    CheckSubgraphEntries(graph, problems);
    return problems;
}

} // namespace datagraph
