#include "DiagnosticsGraphvizBody.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <utility>

namespace datagraph::diagnostics {

TextOut::TextOut(std::ostream& out)
    : out(out)
    , buffer(kChunk)
    , end(buffer.data())
    , limit(buffer.data() + buffer.size()) {}

TextOut& TextOut::operator<<(int number) {
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%d", number);
    Put(digits, static_cast<std::size_t>(length));
    return *this;
}

void TextOut::Flush() {
    out.write(buffer.data(), static_cast<std::streamsize>(end - buffer.data()));
    end = buffer.data();
}

void TextOut::PutLong(const char* data, std::size_t size) {
    Flush();
    if (size > buffer.size()) {
        out.write(data, static_cast<std::streamsize>(size));
        return;
    }
    std::memcpy(end, data, size);
    end += size;
}

void WriteHex(char* to, const GUID& id) {
    // Each byte's two digits at once.
    static const auto pairs = [] {
        std::array<char, 512> table{};
        const char* const digits = "0123456789abcdef";
        for (std::size_t byte = 0; byte < 256; ++byte) {
            table[2 * byte] = digits[byte >> 4];
            table[2 * byte + 1] = digits[byte & 0x0f];
        }
        return table;
    }();
    for (std::size_t i = 0; i < 16; ++i) {
        std::memcpy(to + 2 * i, &pairs[2 * id.data[i]], 2);
    }
}

std::vector<Item> PlanBody(const GraphStore& store, const std::vector<PlacedNode>& byId,
                           std::size_t level) {
    // A node's place in id order, by its place in the store.
    std::vector<std::size_t> places(store.NodeCount());
    for (std::size_t place = 0; place < byId.size(); ++place) {
        places[byId[place].place] = place;
    }

    // Every filing of an existing node, dealt by the node's place (a counting sort): one walk over
    // the subgraph table, which goes subgraph by subgraph in id order, so each node's filings
    // come in subgraph order, a subgraph that lists a node twice twice in a row.
    struct Filing {
        std::size_t place;
        GUID subgraph;
    };

    std::vector<Filing> filings;
    std::vector<std::size_t> starts(byId.size() + 1, 0);
    for (const auto& [subgraph, list] : store.Subgraphs()) {
        for (const auto* entry = list.first; entry != nullptr; entry = entry->Next()) {
            if (entry->Node() != nullptr) {
                const std::size_t place = places[entry->Node()->Place()];
                filings.push_back({place, subgraph});
                ++starts[place + 1];
            }
        }
    }
    for (std::size_t place = 1; place < starts.size(); ++place) {
        starts[place] += starts[place - 1];
    }
    std::vector<GUID> subgraphsOf(filings.size());
    {
        std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
        for (const Filing& filing : filings) {
            subgraphsOf[next[filing.place]++] = filing.subgraph;
        }
    }
    // Where each cluster's nodes go: the nodes outside any subgraph come first, then each
    // cluster between its opening and its closing, so that the items are placed where they stay.
    std::size_t unfiled = 0;
    std::map<GUID, std::size_t> nextOfCluster; // counts, then the place of the next node
    for (std::size_t place = 0; place < byId.size(); ++place) {
        if (starts[place] == starts[place + 1]) {
            ++unfiled;
        } else {
            ++nextOfCluster[subgraphsOf[starts[place]]];
        }
    }
    std::vector<Item> items(byId.size() + 2 * nextOfCluster.size());
    std::size_t at = unfiled;
    for (auto& [subgraph, next] : nextOfCluster) {
        const std::size_t count = next;
        items[at] = {Item::Kind::OpenCluster, subgraph, 0, {}, level};
        items[at + 1 + count] = {Item::Kind::CloseCluster, subgraph, 0, {}, level};
        next = at + 1;
        at += count + 2;
    }
    std::size_t nextUnfiled = 0;
    for (std::size_t place = 0; place < byId.size(); ++place) {
        const PlacedNode& node = byId[place];
        const std::size_t first = starts[place];
        const std::size_t end = starts[place + 1];
        if (first == end) {
            items[nextUnfiled++] = {Item::Kind::Node, node.id, node.place, {}, level};
            continue;
        }
        Item& item = items[nextOfCluster[subgraphsOf[first]]++];
        item = {Item::Kind::Node, node.id, node.place, {}, level + 1};
        for (std::size_t filed = first + 1; filed < end; ++filed) {
            if (subgraphsOf[filed] != subgraphsOf[filed - 1]) {
                item.otherSubgraphs.push_back(subgraphsOf[filed]);
            }
        }
    }
    return items;
}

} // namespace datagraph::diagnostics
