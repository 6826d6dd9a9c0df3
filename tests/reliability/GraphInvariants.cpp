#include "GraphInvariants.h"

#include "store/GraphStore.h"

#include <set>

namespace datagraph::reliability {
namespace {

std::string Violation(const std::string& what, const GUID& id) {
    return what + " (" + GUIDToString(id) + ")";
}

std::string CheckNodesAndPins(const Graph& graph) {
    const Graph::NodeMap nodes = graph.GetNodes();
    if (graph.GetNodesInArbitraryOrder().size() != nodes.size()) {
        return "GetNodesInArbitraryOrder and GetNodes disagree";
    }
    std::set<GUID> ownedPins;
    for (const auto& [id, node] : nodes) {
        if (node->GetId() != id) {
            return Violation("a node is filed under another id than its own", id);
        }
        const IdentifierSet sides[] = {graph.GetInputPins(id), graph.GetOutputPins(id)};
        for (const IdentifierSet& side : sides) {
            for (const GUID& pin : side) {
                if (!graph.HasPin(pin) || graph.GetOwningNode(pin) != id) {
                    return Violation("a node lists a pin that is not its own", pin);
                }
                if (!ownedPins.insert(pin).second) {
                    return Violation("a pin is both an input and an output pin", pin);
                }
            }
        }
    }
    const std::vector<const Pin*> pins = graph.GetAllPins();
    if (pins.size() != ownedPins.size()) {
        return "a pin of the graph has no owning node";
    }
    for (const Pin* pin : pins) {
        if (ownedPins.count(pin->GetId()) == 0) {
            return Violation("a pin of the graph has no owning node", pin->GetId());
        }
    }
    return {};
}

std::string CheckLinks(const Graph& graph) {
    std::set<GUID> downstreamPins;
    for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
        if (!graph.HasPin(upstream) || !graph.HasPin(downstream)) {
            return Violation("a link names a pin that is not in the graph",
                             graph.HasPin(upstream) ? downstream : upstream);
        }
        if (!downstreamPins.insert(downstream).second) {
            return Violation("a pin has two upstream pins", downstream);
        }
        if (graph.GetUpstreamPin(downstream) != upstream ||
            graph.GetDownstreamPins(upstream).count(downstream) == 0) {
            return Violation("the two sides of the link table disagree", downstream);
        }
    }
    return {};
}

std::string CheckSubgraphs(const Graph& graph) {
    const auto subgraphOfNode = graph.GetNodeToExecutionSubgraphMap();
    for (const GUID& id : graph.GetNodesInArbitraryOrder()) {
        if (subgraphOfNode.count(id) == 0) {
            return Violation("a node stands in no execution subgraph", id);
        }
    }
    return {};
}

} // namespace

std::string FindStoreViolation(const Graph& graph) {
    try {
        GraphStore::Of(graph).CheckConsistency();
    } catch (const GraphException& e) {
        return e.what();
    }
    return {};
}

std::string FindInvariantViolation(const Graph& graph) {
    if (std::string violation = FindStoreViolation(graph); !violation.empty()) {
        return violation;
    }
    try {
        for (auto check : {CheckNodesAndPins, CheckLinks, CheckSubgraphs}) {
            std::string violation = check(graph);
            if (!violation.empty()) {
                return violation;
            }
        }
    } catch (const std::exception& e) {
        return std::string("a query failed: ") + e.what();
    }
    return {};
}

} // namespace datagraph::reliability
