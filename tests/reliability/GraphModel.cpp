#include "GraphModel.h"

#include <algorithm>
#include <stdexcept>

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

namespace {

void AddOnce(NodeList& list, const GUID& id) {
    auto place = std::lower_bound(list.begin(), list.end(), id);
    if (place == list.end() || *place != id) {
        list.insert(place, id);
    }
}

} // namespace

NodeList GraphModel::InputNodesOf(const ModelNode& node) const {
    NodeList found;
    for (const GUID& pin : node.inputs) {
        // An input pin without an upstream pin counts its downstream pins instead; it has some
        // only when it was linked as the upstream end.
        auto upstream = std::find_if(links.begin(), links.end(),
                                     [&](const auto& link) { return link.second == pin; });
        if (upstream != links.end()) {
            AddOnce(found, pins.at(upstream->first).owner);
            continue;
        }
        for (const auto& link : links) {
            if (link.first == pin) {
                AddOnce(found, pins.at(link.second).owner);
            }
        }
    }
    return found;
}

NodeList GraphModel::OutputNodesOf(const ModelNode& node) const {
    NodeList found;
    for (const auto& link : links) {
        if (node.outputs.count(link.first) != 0) {
            AddOnce(found, pins.at(link.second).owner);
        }
    }
    return found;
}

IdSet GraphModel::InputNodes(const GUID& node) const {
    auto entry = nodes.find(node);
    if (entry == nodes.end()) {
        return {};
    }
    const NodeList found = InputNodesOf(entry->second);
    return IdSet(found.begin(), found.end());
}

IdSet GraphModel::OutputNodes(const GUID& node) const {
    auto entry = nodes.find(node);
    if (entry == nodes.end()) {
        return {};
    }
    const NodeList found = OutputNodesOf(entry->second);
    return IdSet(found.begin(), found.end());
}

// Whether InputNodes and OutputNodes are both empty: no link leaves any pin of the node and none
// reaches one of its input pins.
bool GraphModel::Unconnected(const GUID& node) const {
    auto entry = nodes.find(node);
    if (entry == nodes.end()) {
        return true;
    }
    const ModelNode& record = entry->second;
    return std::none_of(links.begin(), links.end(), [&](const auto& link) {
        return record.inputs.count(link.first) != 0 || record.outputs.count(link.first) != 0 ||
               record.inputs.count(link.second) != 0;
    });
}

bool GraphModel::Ready(const GUID& node) const {
    for (const GUID& pin : nodes.at(node).inputs) {
        if (HasUpstream(pin) && !pins.at(pin).mark) {
            return false;
        }
    }
    return true;
}

const NodeList& TopologyOutcome::SourcesOf(const GUID& node) const {
    auto place = std::lower_bound(nodes.begin(), nodes.end(), node);
    if (place == nodes.end() || *place != node) {
        throw std::out_of_range("not a node of the sorted graph");
    }
    return sources[static_cast<std::size_t>(place - nodes.begin())];
}

// Kahn's method run without its checks reaches the same set of placed nodes in every order, so
// whether a check fires is decided by the counts alone: a node fed by more placed nodes than it
// counts among its input nodes fails "Graph topology is incorrect.", and a node that is never
// placed fails "Topo sort did not account for all nodes."
TopologyOutcome GraphModel::Topology() const {
    TopologyOutcome outcome;
    const std::size_t size = nodes.size();
    outcome.nodes.reserve(size);
    boost::container::small_vector<std::size_t, 16> count;
    for (const auto& [id, node] : nodes) {
        outcome.nodes.push_back(id);
        count.push_back(InputNodesOf(node).size());
    }
    auto indexOf = [&outcome](const GUID& id) {
        return static_cast<std::size_t>(
            std::lower_bound(outcome.nodes.begin(), outcome.nodes.end(), id) -
            outcome.nodes.begin());
    };
    outcome.sources.resize(size);
    // Sources are added in id order, so each list stays sorted.
    for (const auto& [id, node] : nodes) {
        for (const GUID& downstream : OutputNodesOf(node)) {
            outcome.sources[indexOf(downstream)].push_back(id);
        }
    }
    boost::container::small_vector<bool, 16> placed(size, false);
    std::size_t placedCount = 0;
    auto fed = [&](std::size_t i) {
        std::size_t placedSources = 0;
        for (const GUID& source : outcome.sources[i]) {
            placedSources += placed[indexOf(source)] ? 1 : 0;
        }
        return placedSources;
    };
    for (bool grew = true; grew;) {
        grew = false;
        for (std::size_t i = 0; i < size; ++i) {
            if (!placed[i] && fed(i) >= count[i]) {
                placed[i] = true;
                ++placedCount;
                grew = true;
            }
        }
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (fed(i) > count[i]) {
            outcome.failure = "Graph topology is incorrect.";
            return outcome;
        }
    }
    if (placedCount != size) {
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
        boost::container::small_vector<GUID, 8> nodePins(entry->second.inputs.begin(),
                                                         entry->second.inputs.end());
        nodePins.insert(nodePins.end(), entry->second.outputs.begin(), entry->second.outputs.end());
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
