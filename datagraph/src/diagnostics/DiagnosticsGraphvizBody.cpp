#include "DiagnosticsGraphvizBody.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <utility>

namespace datagraph::diagnostics {

TextOut& TextOut::operator<<(int number) {
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%d", number);
    buffer.append(digits, static_cast<std::size_t>(length));
    return MaybeDrain();
}

void TextOut::Flush() {
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    buffer.clear();
}

// Runs of plain characters are appended whole; most text has nothing to escape.
void TextOut::AppendHtml(std::string& to, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const char* escaped = nullptr;
        switch (c) {
        case '&':
            escaped = "&amp;";
            break;
        case '<':
            escaped = "&lt;";
            break;
        case '>':
            escaped = "&gt;";
            break;
        case '"':
            escaped = "&quot;";
            break;
        case '\n':
            escaped = "<BR/>";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20) {
                continue;
            }
            escaped = "?";
        }
        to.append(text.data() + plain, at - plain);
        to.append(escaped);
        plain = at + 1;
    }
    to.append(text.data() + plain, text.size() - plain);
}

void TextOut::AppendQuotedBody(std::string& to, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const char* escaped = nullptr;
        if (c == '"') {
            escaped = "\\\"";
        } else if (c == '\\') {
            escaped = "\\\\";
        } else if (c == '\n') {
            escaped = "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            escaped = "?";
        } else {
            continue;
        }
        to.append(text.data() + plain, at - plain);
        to.append(escaped);
        plain = at + 1;
    }
    to.append(text.data() + plain, text.size() - plain);
}

void TextOut::AppendHex(std::string& to, const GUID& id) {
    static const char digits[] = "0123456789abcdef";
    char hex[32];
    for (std::size_t i = 0; i < 16; ++i) {
        hex[2 * i] = digits[id.data[i] >> 4];
        hex[2 * i + 1] = digits[id.data[i] & 0x0f];
    }
    to.append(hex, sizeof hex);
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
