#pragma once

// The pieces of a Graphviz drawing: the text it is written into, escaped for it, and what each
// graph's body draws.

#include "DiagnosticsNames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace datagraph::diagnostics {

/// The picture's text, gathered in one buffer and handed to the stream in large pieces: a
/// picture has a few hundred bytes per node, and a formatted stream write per piece costs more
/// than the piece.
class TextOut {
public:
    explicit TextOut(std::ostream& out)
        : out(out) {
        buffer.reserve(2 * kChunk);
    }

    TextOut& operator<<(std::string_view text) {
        buffer.append(text.data(), text.size());
        return MaybeDrain();
    }

    TextOut& operator<<(char c) {
        buffer.push_back(c);
        return MaybeDrain();
    }

    TextOut& operator<<(int number);

    /// Text inside an HTML-like label: markup characters become entities, line breaks become
    /// <BR/> and other control characters, which Graphviz refuses, become '?'.
    TextOut& Html(std::string_view text) {
        AppendHtml(buffer, text);
        return MaybeDrain();
    }

    /// The inside of a DOT double-quoted string, whose label escapes (backslash sequences) must
    /// not come from the text.
    TextOut& QuotedBody(std::string_view text) {
        AppendQuotedBody(buffer, text);
        return MaybeDrain();
    }

    /// The GUID's hexadecimal digits without dashes.
    TextOut& Hex(const GUID& id) {
        AppendHex(buffer, id);
        return *this;
    }

    /// The indent of a nesting level; nesting deeper than twenty levels is not indented further,
    /// so that the text grows linearly with depth.
    TextOut& Indent(std::size_t level) {
        const std::size_t deepestIndent = 20;
        buffer.append(2 * std::min(level, deepestIndent), ' ');
        return *this;
    }

    /// Hands the rest of the text to the stream.
    void Flush();

    static void AppendHtml(std::string& to, std::string_view text);
    static void AppendQuotedBody(std::string& to, std::string_view text);
    static void AppendHex(std::string& to, const GUID& id);

private:
    static constexpr std::size_t kChunk = 64 * 1024;

    TextOut& MaybeDrain() {
        if (buffer.size() >= kChunk) {
            Flush();
        }
        return *this;
    }

    std::ostream& out;
    std::string buffer;
};

/// A table from the records of one graph to values, filled as a drawing goes and then read: open
/// addressing in one array, keyed by the record's address.
template <typename Record, typename Value> class RecordMap {
public:
    void Insert(const Record* record, const Value& value) {
        if (2 * (count + 1) > slots.size()) {
            Grow();
        }
        for (std::size_t at = Home(record);; at = (at + 1) & mask) {
            if (slots[at].record == nullptr || slots[at].record == record) {
                count += slots[at].record == nullptr ? 1 : 0;
                slots[at] = {record, value};
                return;
            }
        }
    }

    /// Null for a record not inserted.
    const Value* Find(const Record* record) const {
        if (slots.empty()) {
            return nullptr;
        }
        for (std::size_t at = Home(record);; at = (at + 1) & mask) {
            if (slots[at].record == record) {
                return &slots[at].value;
            }
            if (slots[at].record == nullptr) {
                return nullptr;
            }
        }
    }

private:
    struct Slot {
        const Record* record = nullptr;
        Value value{};
    };

    std::size_t Home(const Record* record) const {
        const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(record));
        return static_cast<std::size_t>((address * 0x9e3779b97f4a7c15u) >> shift);
    }

    void Grow() {
        std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots.size()));
        old.swap(slots);
        mask = slots.size() - 1;
        shift = 64;
        for (std::size_t size = slots.size(); size > 1; size /= 2) {
            --shift;
        }
        count = 0;
        for (const Slot& slot : old) {
            if (slot.record != nullptr) {
                Insert(slot.record, slot.value);
            }
        }
    }

    std::vector<Slot> slots;
    std::size_t mask = 0;
    int shift = 64; // keeps the top bits of the hash, as many as index the slots
    std::size_t count = 0;
};

/// One thing a graph's body draws.
struct Item {
    enum class Kind { Node, OpenCluster, CloseCluster } kind;
    GUID id;                            // the cluster's subgraph
    const GraphStore::NodeRecord* node; // of a node
    IdentifierList otherSubgraphs; // of a node: the subgraphs it is filed under besides its home
    std::size_t level;
};

/// What a graph's body draws, in order: the nodes outside any execution subgraph, then one
/// cluster per subgraph with the nodes it is home to (its smallest subgraph id), nodes in id order.
std::vector<Item> PlanBody(const GraphIndex& index, std::size_t level);

} // namespace datagraph::diagnostics
