#pragma once

// The pieces of a Graphviz drawing: the text it is written into, escaped for it, and what each
// graph's body draws.

#include "DiagnosticsNames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace datagraph::diagnostics {

/// Escapes `text` for an HTML-like label into `sink` (anything with Put(const char*, size_t)):
/// markup characters become entities, line breaks become <BR/> and other control characters,
/// which Graphviz refuses, become '?'. Runs of plain characters go whole; most text has nothing
/// to escape.
template <typename Sink> void PutHtml(Sink& sink, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        std::string_view escaped;
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
        sink.Put(text.data() + plain, at - plain);
        sink.Put(escaped.data(), escaped.size());
        plain = at + 1;
    }
    sink.Put(text.data() + plain, text.size() - plain);
}

/// Escapes `text` for the inside of a DOT double-quoted string, whose label escapes (backslash
/// sequences) must not come from the text.
template <typename Sink> void PutQuotedBody(Sink& sink, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        std::string_view escaped;
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
        sink.Put(text.data() + plain, at - plain);
        sink.Put(escaped.data(), escaped.size());
        plain = at + 1;
    }
    sink.Put(text.data() + plain, text.size() - plain);
}

/// Appends to a string, as a sink of the escapes above.
struct StringSink {
    std::string& text;

    void Put(const char* data, std::size_t size) { text.append(data, size); }
};

/// The GUID's 32 hexadecimal digits, lower case, without dashes.
void WriteHex(char* to, const GUID& id);

/// The picture's text, gathered in one buffer and handed to the stream in large pieces: a
/// picture has hundreds of bytes per node in dozens of pieces, and a formatted stream write, or
/// even a string append, per piece costs more than copying the piece.
class TextOut {
public:
    explicit TextOut(std::ostream& out);

    void Put(const char* data, std::size_t size) {
        if (size > static_cast<std::size_t>(limit - end)) {
            PutLong(data, size);
            return;
        }
        std::memcpy(end, data, size);
        end += size;
    }

    TextOut& operator<<(std::string_view text) {
        Put(text.data(), text.size());
        return *this;
    }

    TextOut& operator<<(char c) {
        Put(&c, 1);
        return *this;
    }

    TextOut& operator<<(int number);

    TextOut& Html(std::string_view text) {
        PutHtml(*this, text);
        return *this;
    }

    TextOut& QuotedBody(std::string_view text) {
        PutQuotedBody(*this, text);
        return *this;
    }

    TextOut& Hex(const GUID& id) {
        Room(32);
        WriteHex(end, id);
        end += 32;
        return *this;
    }

    /// The indent of a nesting level; nesting deeper than twenty levels is not indented further,
    /// so that the text grows linearly with depth.
    TextOut& Indent(std::size_t level) {
        const std::size_t deepestIndent = 20;
        const std::size_t width = 2 * std::min(level, deepestIndent);
        Room(width);
        std::memset(end, ' ', width);
        end += width;
        return *this;
    }

    /// Hands the rest of the text to the stream.
    void Flush();

private:
    static constexpr std::size_t kChunk = 64 * 1024;

    // At least `size` bytes free, for a piece of at most kChunk bytes.
    void Room(std::size_t size) {
        if (size > static_cast<std::size_t>(limit - end)) {
            Flush();
        }
    }

    void PutLong(const char* data, std::size_t size);

    std::ostream& out;
    std::vector<char> buffer;
    char* end;
    char* limit;
};

/// A node of the drawing: its id and its place in the store.
struct PlacedNode {
    GUID id;
    std::size_t place;
};

/// One thing a graph's body draws.
struct Item {
    enum class Kind { Node, OpenCluster, CloseCluster } kind;
    GUID id;                       // of the node, or the cluster's subgraph
    std::size_t place;             // of a node: its place in the store
    IdentifierList otherSubgraphs; // of a node: the subgraphs it is filed under besides its home
    std::size_t level;
};

/// What a graph's body draws, in order: the nodes outside any execution subgraph, then one
/// cluster per subgraph with the nodes it is home to (its smallest subgraph id), nodes in id
/// order. `byId` holds every node of the store, in id order.
std::vector<Item> PlanBody(const GraphStore& store, const std::vector<PlacedNode>& byId,
                           std::size_t level);

} // namespace datagraph::diagnostics
