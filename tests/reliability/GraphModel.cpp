#include "GraphModel.h"

#include <algorithm>

namespace datagraph::reliability {

bool GraphModel::HasUpstream(const GUID& pin) const {
    return std::any_of(links.begin(), links.end(),
                       [&](const auto& link) { return link.second == pin; });
}

GUID GraphModel::Upstream(const GUID& pin) const {
    for (const auto& link : links) {
        if (link.second == pin) {
            return link.first;
        }
    }
    return GetNullGUID();
}

IdSet GraphModel::Downstream(const GUID& pin) const {
    IdSet downstream;
    for (const auto& link : links) {
        if (link.first == pin) {
            downstream.insert(link.second);
        }
    }
    return downstream;
}

std::vector<std::pair<GUID, GUID>> GraphModel::LinkTable() const {
    std::vector<std::pair<GUID, GUID>> table = links;
    std::stable_sort(table.begin(), table.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return table;
}

IdSet GraphModel::InputNodes(const GUID& node) const {
    IdSet found;
    auto entry = nodes.find(node);
    if (entry == nodes.end()) {
        return found;
    }
    for (const GUID& pin : entry->second.inputs) {
        // An input pin without an upstream pin counts its downstream pins instead; it has some
        // only when it was linked as the upstream end.
        if (HasUpstream(pin)) {
            found.insert(pins.at(Upstream(pin)).owner);
        } else {
            for (const GUID& downstream : Downstream(pin)) {
                found.insert(pins.at(downstream).owner);
            }
        }
    }
    return found;
}

IdSet GraphModel::OutputNodes(const GUID& node) const {
    IdSet found;
    auto entry = nodes.find(node);
    if (entry == nodes.end()) {
        return found;
    }
    for (const GUID& pin : entry->second.outputs) {
        for (const GUID& downstream : Downstream(pin)) {
            found.insert(pins.at(downstream).owner);
        }
    }
    return found;
}

bool GraphModel::Unconnected(const GUID& node) const {
    return InputNodes(node).empty() && OutputNodes(node).empty();
}

bool GraphModel::Ready(const GUID& node) const {
    for (const GUID& pin : nodes.at(node).inputs) {
        if (HasUpstream(pin) && !pins.at(pin).mark) {
            return false;
        }
    }
    return true;
}

// Kahn's method run without its checks reaches the same set of placed nodes in every order, so
// whether a check fires is decided by the counts alone: a node fed by more placed nodes than it
// counts among its input nodes fails "Graph topology is incorrect.", and a node that is never
// placed fails "Topo sort did not account for all nodes."
TopologyOutcome GraphModel::Topology() const {
    TopologyOutcome outcome;
    std::map<GUID, std::size_t> count;
    for (const auto& [id, node] : nodes) {
        count[id] = InputNodes(id).size();
        outcome.sources[id];
    }
    for (const auto& [id, node] : nodes) {
        for (const GUID& downstream : OutputNodes(id)) {
            outcome.sources[downstream].insert(id);
        }
    }
    IdSet placed;
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [id, sources] : outcome.sources) {
            if (placed.count(id) != 0) {
                continue;
            }
            std::size_t fed = 0;
            for (const GUID& source : sources) {
                fed += placed.count(source);
            }
            if (fed >= count[id]) {
                placed.insert(id);
                grew = true;
            }
        }
    }
    for (const auto& [id, sources] : outcome.sources) {
        std::size_t fed = 0;
        for (const GUID& source : sources) {
            fed += placed.count(source);
        }
        if (fed > count[id]) {
            outcome.failure = "Graph topology is incorrect.";
            return outcome;
        }
    }
    if (placed.size() != nodes.size()) {
        outcome.failure = "Topo sort did not account for all nodes.";
    }
    return outcome;
}

IdSet GraphModel::Subgraphs() const {
    IdSet found;
    for (const auto& entry : subgraphEntries) {
        found.insert(entry.first);
    }
    return found;
}

IdSet GraphModel::NodesIn(const GUID& subgraph) const {
    IdSet found;
    for (const auto& entry : subgraphEntries) {
        if (entry.first == subgraph) {
            found.insert(entry.second);
        }
    }
    return found;
}

std::map<GUID, GUID> GraphModel::NodeToSubgraph() const {
    std::map<GUID, GUID> smallest;
    for (const auto& [subgraph, node] : subgraphEntries) {
        auto found = smallest.find(node);
        if (found == smallest.end()) {
            smallest.emplace(node, subgraph);
        } else if (subgraph < found->second) {
            found->second = subgraph;
        }
    }
    return smallest;
}

void GraphModel::AddPin(const GUID& node, const GUID& pin, const std::type_info& type,
                        bool isOutput) {
    ModelPin record;
    record.owner = node;
    record.isOutput = isOutput;
    record.type = &type;
    pins[pin] = record;
    (isOutput ? nodes.at(node).outputs : nodes.at(node).inputs).insert(pin);
}

void GraphModel::RemovePin(GUID pin) {
    ModelNode& owner = nodes.at(pins.at(pin).owner);
    owner.inputs.erase(pin);
    owner.outputs.erase(pin);
    pins.erase(pin);
    links.erase(
        std::remove_if(links.begin(), links.end(),
                       [&](const auto& link) { return link.first == pin || link.second == pin; }),
        links.end());
}

void GraphModel::RemoveLink(GUID downstream) {
    links.erase(std::remove_if(links.begin(), links.end(),
                               [&](const auto& link) { return link.second == downstream; }),
                links.end());
}

void GraphModel::DestroyNode(GUID node) {
    auto entry = nodes.find(node);
    if (entry != nodes.end()) {
        IdSet nodePins = entry->second.inputs;
        nodePins.insert(entry->second.outputs.begin(), entry->second.outputs.end());
        for (const GUID& pin : nodePins) {
            RemovePin(pin);
        }
        nodes.erase(node);
    }
    subgraphEntries.erase(std::remove_if(subgraphEntries.begin(), subgraphEntries.end(),
                                         [&](const auto& item) { return item.second == node; }),
                          subgraphEntries.end());
}

void GraphModel::SetValue(const GUID& pin, std::shared_ptr<const IDataValue> value) {
    ModelPin& record = pins.at(pin);
    record.value = std::move(value);
    record.mark = true;
}

} // namespace datagraph::reliability
