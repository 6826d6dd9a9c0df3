#include <datagraph/Diagnostics.h>

#include <datagraph/UbernodeNodeFunction.h>

#include "DiagnosticsNames.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <typeindex>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace datagraph {

namespace {

using namespace diagnostics;

// Text inside an HTML-like label: markup characters become entities, line breaks become <BR/>
// and other control characters, which Graphviz refuses, become '?'.
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

// A DOT double-quoted string, whose label escapes (\n, \l, \N, ...) must not come from the text.
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

IdentifierList SortedByName(const GraphIndex& index, const IdentifierSet& pinIds) {
    std::vector<std::pair<std::string, GUID>> named;
    for (const GUID& pinId : pinIds) {
        named.emplace_back(PinName(index, pinId), pinId);
    }
    std::sort(named.begin(), named.end());
    IdentifierList sorted;
    for (const auto& entry : named) {
        sorted.push_back(entry.second);
    }
    return sorted;
}

const char* const kMarkedFill = "#ffd966";
const char* const kHeaderFill = "#dce6f2";

// Nesting deeper than this is not indented further, so that the text grows linearly with depth.
const std::size_t kDeepestIndent = 20;

std::string Indent(std::size_t level) {
    return std::string(2 * std::min(level, kDeepestIndent), ' ');
}

// What a graph's body draws, in order: the nodes outside any execution subgraph, then one cluster
// per subgraph with the nodes it is home to; its links come last.
struct Item {
    enum class Kind { Node, OpenCluster, CloseCluster } kind;
    GUID id;                       // the node, or the cluster's subgraph
    IdentifierList otherSubgraphs; // of a node: the subgraphs it is filed under besides its home
    std::size_t level;
};

std::vector<Item> PlanBody(const GraphIndex& index, std::size_t level) {
    const Graph& graph = index.GetGraph();
    std::unordered_map<GUID, IdentifierList, boost::hash<GUID>> subgraphsOfNode;
    for (const GUID& subgraph : Sorted(graph.GetExecutionSubgraphs())) {
        for (const GUID& nodeId : graph.GetNodesInExecutionSubgraph(subgraph)) {
            if (graph.HasNode(nodeId)) {
                subgraphsOfNode[nodeId].push_back(subgraph);
            }
        }
    }
    std::vector<Item> items;
    std::map<GUID, IdentifierList> nodesOfCluster;
    for (const GUID& nodeId : index.SortedNodes()) {
        const auto home = subgraphsOfNode.find(nodeId);
        if (home == subgraphsOfNode.end()) {
            items.push_back({Item::Kind::Node, nodeId, {}, level});
        } else {
            nodesOfCluster[home->second.front()].push_back(nodeId);
        }
    }
    for (const auto& [subgraph, nodeIds] : nodesOfCluster) {
        items.push_back({Item::Kind::OpenCluster, subgraph, {}, level});
        for (const GUID& nodeId : nodeIds) {
            const IdentifierList& all = subgraphsOfNode[nodeId];
            items.push_back(
                {Item::Kind::Node, nodeId, IdentifierList(all.begin() + 1, all.end()), level + 1});
        }
        items.push_back({Item::Kind::CloseCluster, subgraph, {}, level});
    }
    return items;
}

// The walk keeps its own stack of the graphs being drawn, outermost first, instead of recursing
// into each ubernode's inner graph, so that nesting of any depth is drawn.
class GraphvizWriter {
public:
    GraphvizWriter(std::ostream& out, const GraphvizOptions& options)
        : out(out)
        , options(options) {}

    void WriteDocument(const Graph& graph) {
        out << "digraph " << Quoted(options.graphName) << " {\n"
            << "  graph [rankdir=LR, fontname=\"Helvetica\", fontsize=11, style=rounded];\n"
            << "  node [shape=plaintext, fontname=\"Helvetica\", fontsize=10];\n"
            << "  edge [fontname=\"Helvetica\", fontsize=9];\n";
        Open(graph, 1, nullptr, GUID());
        while (!bodies.empty()) {
            Body& body = *bodies.back();
            if (body.next == body.items.size()) {
                Close();
            } else {
                WriteItem(body, body.items[body.next++]);
            }
        }
        // Last, so that the clusters do not inherit it as their own title.
        out << "  labelloc=b;\n  label=<<FONT POINT-SIZE=\"9\">filled pin: holds the updated-data "
               "mark &#183; red link: cannot carry a value</FONT>>;\n}\n";
    }

private:
    struct Body {
        Body(const Graph& graph, std::string prefix, std::size_t level)
            : index(graph)
            , prefix(std::move(prefix))
            , items(PlanBody(index, level))
            , level(level) {}

        GraphIndex index;
        std::string prefix;
        std::vector<Item> items;
        std::size_t next = 0;
        std::size_t level;
        // For an inner graph: the body that holds its ubernode, and the ubernode.
        const Body* outer = nullptr;
        GUID ubernode;
    };

    void Open(const Graph& graph, std::size_t level, const Body* outer, const GUID& ubernode) {
        auto body = std::make_unique<Body>(graph, "g" + std::to_string(graphCount++) + "_", level);
        body->outer = outer;
        body->ubernode = ubernode;
        openGraphs.insert(&graph);
        bodies.push_back(std::move(body));
    }

    // Ends the innermost body with its links and, for an inner graph, its ubernode's clusters.
    void Close() {
        const Body& body = *bodies.back();
        WriteLinks(body);
        if (body.outer != nullptr) {
            const std::size_t level = body.level - 2; // the ubernode's cluster
            out << Indent(level + 1) << "}\n";
            WriteMappings(*body.outer, body.ubernode, body, level + 1);
            out << Indent(level) << "}\n";
        }
        openGraphs.erase(&body.index.GetGraph());
        bodies.pop_back();
    }

    void WriteItem(const Body& body, const Item& item) {
        const std::string indent = Indent(item.level);
        switch (item.kind) {
        case Item::Kind::OpenCluster:
            out << indent << "subgraph cluster_" << clusterCount++ << " {\n"
                << indent << "  label=<" << SubgraphTitle(body.index.GetGraph(), item.id) << ">;\n"
                << indent << "  color=\"#7f8c9d\";\n";
            break;
        case Item::Kind::CloseCluster:
            out << indent << "}\n";
            break;
        case Item::Kind::Node:
            WriteNode(body, item);
            break;
        }
    }

    std::string SubgraphTitle(const Graph& graph, const GUID& subgraph) const {
        const auto named = options.subgraphNames.find(subgraph);
        std::string title = named != options.subgraphNames.end()
                                ? "<B>" + Html(named->second) + "</B>"
                                : "subgraph " + Hex(subgraph).substr(0, 8);
        if (subgraph == graph.GetDefaultExecutionSubgraphID()) {
            title += " (default)";
        }
        return title;
    }

    // An ubernode whose inner graph is not being drawn already gets a cluster holding its table
    // and the inner graph, which the walk draws next.
    void WriteNode(const Body& body, const Item& item) {
        const Graph& graph = body.index.GetGraph();
        const auto* ubernode = dynamic_cast<const UbernodeNodeFunction*>(
            &graph.GetConstNode(item.id).GetNodeFunction());
        const Graph* inner = ubernode ? ubernode->GetGraph() : nullptr;
        if (inner == nullptr || openGraphs.count(inner) != 0) {
            WriteNodeTable(body, item.id, item.otherSubgraphs, item.level);
            return;
        }
        const std::string indent = Indent(item.level);
        out << indent << "subgraph cluster_" << clusterCount++ << " {\n"
            << indent << "  label=<<I>ubernode</I> " << Html(ubernode->GetName()) << ">;\n"
            << indent << "  style=\"rounded,dashed\";\n";
        WriteNodeTable(body, item.id, item.otherSubgraphs, item.level + 1);
        out << Indent(item.level + 1) << "subgraph cluster_" << clusterCount++ << " {\n"
            << Indent(item.level + 2) << "label=<inner graph>;\n";
        Open(*inner, item.level + 2, &body, item.id);
    }

    // Dashed lines from the ubernode's pins to the inner pins of the same ids.
    void WriteMappings(const Body& outer, const GUID& nodeId, const Body& inner,
                       std::size_t level) {
        const Graph& graph = outer.index.GetGraph();
        const std::string indent = Indent(level);
        const std::string node = outer.prefix + "n" + Hex(nodeId);
        for (const GUID& pinId : Sorted(graph.GetInputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = inner.index.OwnerOf(pinId)) {
                out << indent << node << ":p" << Hex(pinId) << " -> " << inner.prefix << "n"
                    << Hex(owner->node) << ":p" << Hex(pinId) << " [" << kMapping << "];\n";
            }
        }
        for (const GUID& pinId : Sorted(graph.GetOutputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = inner.index.OwnerOf(pinId)) {
                out << indent << inner.prefix << "n" << Hex(owner->node) << ":p" << Hex(pinId)
                    << " -> " << node << ":p" << Hex(pinId) << " [" << kMapping
                    << ", constraint=false];\n";
            }
        }
    }

    void WriteNodeTable(const Body& body, const GUID& nodeId, const IdentifierList& otherSubgraphs,
                        std::size_t level) {
        const Graph& graph = body.index.GetGraph();
        const Node& node = graph.GetConstNode(nodeId);
        const INodeFunction& function = node.GetNodeFunction();
        std::string notes = Html(function.GetClassIdentifier());
        if (node.GetDirty()) {
            notes += " &#183; dirty";
        }
        if (node.GetDisabled()) {
            notes += " &#183; disabled";
        }
        for (const GUID& subgraph : otherSubgraphs) {
            notes += "<BR/>also in " + SubgraphTitle(graph, subgraph);
        }
        const IdentifierList inputs = SortedByName(body.index, graph.GetInputPins(nodeId));
        const IdentifierList outputs = SortedByName(body.index, graph.GetOutputPins(nodeId));
        const std::size_t rows = std::max(inputs.size(), outputs.size());
        out << Indent(level) << body.prefix << "n" << Hex(nodeId)
            << " [tooltip=" << Quoted(function.GetDescription()) << ", label=<<TABLE BORDER=\"0\" "
            << "CELLBORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"4\">"
            << "<TR><TD" << (rows > 0 ? " COLSPAN=\"2\"" : "") << " BGCOLOR=\"" << kHeaderFill
            << "\"><B>" << Html(function.GetName()) << "</B><BR/><FONT POINT-SIZE=\"8\">" << notes
            << "</FONT></TD></TR>";
        for (std::size_t row = 0; row < rows; ++row) {
            out << "<TR>" << PinCell(body.index, inputs, row) << PinCell(body.index, outputs, row)
                << "</TR>";
        }
        out << "</TABLE>>];\n";
    }

    std::string PinCell(const GraphIndex& index, const IdentifierList& pins, std::size_t row) {
        if (row >= pins.size()) {
            return "<TD BORDER=\"0\"></TD>";
        }
        const Pin& pin = index.GetGraph().GetConstPin(pins[row]);
        const std::shared_ptr<const IDataValue> data = pin.GetData();
        std::string value = "<FONT COLOR=\"gray45\"><I>no value</I></FONT>";
        if (data) {
            value = options.describeValue ? Html(options.describeValue(*data)) : "holds a value";
        }
        std::string name = Html(PinName(index, pin.GetId()));
        std::string cell = "<TD PORT=\"p" + Hex(pin.GetId()) + "\" ALIGN=\"LEFT\"";
        if (pin.HasUpdatedData()) {
            cell += std::string(" BGCOLOR=\"") + kMarkedFill + "\"";
            name = "<B>" + name + "</B>";
        }
        return cell + ">" + name + ": " + value + "<BR/><FONT POINT-SIZE=\"8\" COLOR=\"gray30\">" +
               TypeLabel(pin.GetDataType()) + "</FONT></TD>";
    }

    // Demangling costs more than the rest of a cell, and a graph has few types.
    const std::string& TypeLabel(const std::type_info& type) {
        auto found = typeLabels.find(type);
        if (found == typeLabels.end()) {
            found = typeLabels.emplace(type, Html(TypeName(type))).first;
        }
        return found->second;
    }

    void WriteLinks(const Body& body) {
        const Graph& graph = body.index.GetGraph();
        const std::string indent = Indent(body.level);
        const std::string& prefix = body.prefix;
        for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
            const std::optional<PinOwner> from = body.index.OwnerOf(upstream);
            const std::optional<PinOwner> to = body.index.OwnerOf(downstream);
            if (!from || !to) {
                continue; // nothing to attach it to
            }
            std::string problem;
            if (from->side != PinSide::Output || to->side != PinSide::Input) {
                problem = "wrong side";
            } else if (graph.GetConstPin(upstream).GetDataType() !=
                       graph.GetConstPin(downstream).GetDataType()) {
                problem = "types differ";
            }
            out << indent << prefix << "n" << Hex(from->node) << ":p" << Hex(upstream) << ":"
                << Compass(from->side) << " -> " << prefix << "n" << Hex(to->node) << ":p"
                << Hex(downstream) << ":" << Compass(to->side) << " [tooltip="
                << Quoted(QualifiedPinName(body.index, upstream) + " -> " +
                          QualifiedPinName(body.index, downstream));
            if (!problem.empty()) {
                out << ", color=red, fontcolor=red, style=bold, label=<" << problem << ">";
            }
            out << "];\n";
        }
    }

    // Inputs sit in the table's left column and outputs in its right one.
    static const char* Compass(PinSide side) { return side == PinSide::Input ? "w" : "e"; }

    static constexpr const char* kMapping =
        "style=dashed, color=gray50, arrowhead=empty, tooltip=\"ubernode pin and inner pin\"";

    std::ostream& out;
    const GraphvizOptions& options;
    int graphCount = 0;
    int clusterCount = 0;
    std::vector<std::unique_ptr<Body>> bodies; // the graphs being drawn, outermost first
    std::unordered_set<const Graph*> openGraphs;
    std::unordered_map<std::type_index, std::string> typeLabels;
};

} // namespace

void WriteGraphviz(const Graph& graph, std::ostream& out, const GraphvizOptions& options) {
    GraphvizWriter(out, options).WriteDocument(graph);
}

} // namespace datagraph
