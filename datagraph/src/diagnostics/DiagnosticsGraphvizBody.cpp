#include "DiagnosticsGraphvizBody.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

namespace datagraph::diagnostics {

std::string Html(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\n':
            escaped += "<BR/>";
            break;
        default:
            escaped += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
        }
    }
    return escaped;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
        }
    }
    return quoted + "\"";
}

std::string Hex(const GUID& id) {
    std::string hex = GUIDToString(id);
    hex.erase(std::remove(hex.begin(), hex.end(), '-'), hex.end());
    return hex;
}

std::string Indent(std::size_t level) {
    const std::size_t deepestIndent = 20;
    return std::string(2 * std::min(level, deepestIndent), ' ');
}

namespace {

using NodeRecord = GraphStore::NodeRecord;

// A node filed under a subgraph.
struct Filing {
    GUID node;
    GUID subgraph;
    const NodeRecord* record;
};

// Every filing of an existing node, by node id and then by subgraph id, each once: one walk over
// the subgraph table and one sort.
std::vector<Filing> FilingsByNode(const GraphStore& store) {
    std::vector<Filing> filings;
    for (const auto& [subgraph, list] : store.Subgraphs()) {
        for (const auto* entry = list.first; entry != nullptr; entry = entry->Next()) {
            if (entry->Node() != nullptr) {
                filings.push_back({entry->NodeId(), subgraph, entry->Node()});
            }
        }
    }
    std::sort(filings.begin(), filings.end(), [](const Filing& left, const Filing& right) {
        return left.node < right.node ||
               (left.node == right.node && left.subgraph < right.subgraph);
    });
    filings.erase(std::unique(filings.begin(), filings.end(),
                              [](const Filing& left, const Filing& right) {
                                  return left.node == right.node && left.subgraph == right.subgraph;
                              }),
                  filings.end());
    return filings;
}

} // namespace

std::vector<Item> PlanBody(const GraphIndex& index, std::size_t level) {
    const std::vector<Filing> filings = FilingsByNode(index.Store());
    std::vector<Item> items;
    std::map<GUID, std::vector<Item>> nodesOfCluster;
    std::size_t next = 0;
    for (const NodeRecord* node : index.SortedRecords()) {
        if (next == filings.size() || filings[next].record != node) {
            items.push_back({Item::Kind::Node, node->Id(), node, {}, level});
            continue;
        }
        const GUID& home = filings[next++].subgraph;
        Item item{Item::Kind::Node, node->Id(), node, {}, level + 1};
        for (; next < filings.size() && filings[next].record == node; ++next) {
            item.otherSubgraphs.push_back(filings[next].subgraph);
        }
        nodesOfCluster[home].push_back(std::move(item));
    }
    for (auto& [subgraph, nodes] : nodesOfCluster) {
        items.push_back({Item::Kind::OpenCluster, subgraph, nullptr, {}, level});
        std::move(nodes.begin(), nodes.end(), std::back_inserter(items));
        items.push_back({Item::Kind::CloseCluster, subgraph, nullptr, {}, level});
    }
    return items;
}

} // namespace datagraph::diagnostics
