#pragma once

// The pieces of a Graphviz drawing: escaping text for it, and what each graph's body draws.

#include "DiagnosticsNames.h"

#include <cstddef>
#include <string>
#include <vector>

namespace datagraph::diagnostics {

/// Text inside an HTML-like label: markup characters become entities, line breaks become <BR/>
/// and other control characters, which Graphviz refuses, become '?'.
std::string Html(const std::string& text);

// A DOT double-quoted string, whose label escapes (backslash sequences) must not come from the
// text.
std::string Quoted(const std::string& text);

/// The GUID's hexadecimal digits without dashes.
std::string Hex(const GUID& id);

/// The indent of a nesting level; nesting deeper than twenty levels is not indented further, so
/// that the text grows linearly with depth.
std::string Indent(std::size_t level);

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
