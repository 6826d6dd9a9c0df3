#include <datagraph/Diagnostics.h>

#include <datagraph/UbernodeNodeFunction.h>

#include "DiagnosticsNames.h"

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
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

IdentifierList SortedByName(const Graph& graph, const IdentifierSet& pinIds) {
    std::vector<std::pair<std::string, GUID>> named;
    for (const GUID& pinId : pinIds) {
        named.emplace_back(PinName(graph, pinId), pinId);
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
        WriteBody(graph, "  ");
        // Last, so that the clusters do not inherit it as their own title.
        out << "  labelloc=b;\n  label=<<FONT POINT-SIZE=\"9\">filled pin: holds the updated-data "
               "mark &#183; red link: cannot carry a value</FONT>>;\n}\n";
    }

private:
    // Draws the nodes of one graph, grouped by execution subgraph, and then its links.
    void WriteBody(const Graph& graph, const std::string& indent) {
        const std::string prefix = "g" + std::to_string(graphCount++) + "_";
        openGraphs.push_back(&graph);
        std::map<GUID, IdentifierList> subgraphsOfNode;
        for (const GUID& subgraph : Sorted(graph.GetExecutionSubgraphs())) {
            for (const GUID& nodeId : Sorted(graph.GetNodesInExecutionSubgraph(subgraph))) {
                if (graph.HasNode(nodeId)) {
                    subgraphsOfNode[nodeId].push_back(subgraph);
                }
            }
        }
        std::map<GUID, IdentifierList> nodesOfCluster;
        for (const GUID& nodeId : Sorted(graph.GetNodesInArbitraryOrder())) {
            const auto home = subgraphsOfNode.find(nodeId);
            if (home == subgraphsOfNode.end()) {
                WriteNode(graph, nodeId, prefix, {}, indent);
            } else {
                nodesOfCluster[home->second.front()].push_back(nodeId);
            }
        }
        for (const auto& [subgraph, nodeIds] : nodesOfCluster) {
            out << indent << "subgraph cluster_" << clusterCount++ << " {\n"
                << indent << "  label=<" << SubgraphTitle(graph, subgraph) << ">;\n"
                << indent << "  color=\"#7f8c9d\";\n";
            for (const GUID& nodeId : nodeIds) {
                const IdentifierList& all = subgraphsOfNode[nodeId];
                WriteNode(graph, nodeId, prefix, IdentifierList(all.begin() + 1, all.end()),
                          indent + "  ");
            }
            out << indent << "}\n";
        }
        WriteLinks(graph, prefix, indent);
        openGraphs.pop_back();
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

    void WriteNode(const Graph& graph, const GUID& nodeId, const std::string& prefix,
                   const IdentifierList& otherSubgraphs, const std::string& indent) {
        const auto* ubernode = dynamic_cast<const UbernodeNodeFunction*>(
            &graph.GetConstNode(nodeId).GetNodeFunction());
        const Graph* inner = ubernode ? ubernode->GetGraph() : nullptr;
        const bool nest =
            inner && std::find(openGraphs.begin(), openGraphs.end(), inner) == openGraphs.end();
        if (!nest) {
            WriteNodeTable(graph, nodeId, prefix, otherSubgraphs, indent);
            return;
        }
        out << indent << "subgraph cluster_" << clusterCount++ << " {\n"
            << indent << "  label=<<I>ubernode</I> " << Html(ubernode->GetName()) << ">;\n"
            << indent << "  style=\"rounded,dashed\";\n";
        WriteNodeTable(graph, nodeId, prefix, otherSubgraphs, indent + "  ");
        const std::string innerPrefix = "g" + std::to_string(graphCount) + "_";
        out << indent << "  subgraph cluster_" << clusterCount++ << " {\n"
            << indent << "    label=<inner graph>;\n";
        WriteBody(*inner, indent + "    ");
        out << indent << "  }\n";
        WriteMappings(graph, nodeId, prefix, *inner, innerPrefix, indent + "  ");
        out << indent << "}\n";
    }

    // Dashed lines from the ubernode's pins to the inner pins of the same ids.
    void WriteMappings(const Graph& graph, const GUID& nodeId, const std::string& prefix,
                       const Graph& inner, const std::string& innerPrefix,
                       const std::string& indent) {
        const std::string outer = prefix + "n" + Hex(nodeId);
        for (const GUID& pinId : Sorted(graph.GetInputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = OwnerOf(inner, pinId)) {
                out << indent << outer << ":p" << Hex(pinId) << " -> " << innerPrefix << "n"
                    << Hex(owner->node) << ":p" << Hex(pinId) << " [" << kMapping << "];\n";
            }
        }
        for (const GUID& pinId : Sorted(graph.GetOutputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = OwnerOf(inner, pinId)) {
                out << indent << innerPrefix << "n" << Hex(owner->node) << ":p" << Hex(pinId)
                    << " -> " << outer << ":p" << Hex(pinId) << " [" << kMapping
                    << ", constraint=false];\n";
            }
        }
    }

    void WriteNodeTable(const Graph& graph, const GUID& nodeId, const std::string& prefix,
                        const IdentifierList& otherSubgraphs, const std::string& indent) {
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
        const IdentifierList inputs = SortedByName(graph, graph.GetInputPins(nodeId));
        const IdentifierList outputs = SortedByName(graph, graph.GetOutputPins(nodeId));
        const std::size_t rows = std::max(inputs.size(), outputs.size());
        out << indent << prefix << "n" << Hex(nodeId)
            << " [tooltip=" << Quoted(function.GetDescription()) << ", label=<<TABLE BORDER=\"0\" "
            << "CELLBORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"4\">"
            << "<TR><TD" << (rows > 0 ? " COLSPAN=\"2\"" : "") << " BGCOLOR=\"" << kHeaderFill
            << "\"><B>" << Html(function.GetName()) << "</B><BR/><FONT POINT-SIZE=\"8\">" << notes
            << "</FONT></TD></TR>";
        for (std::size_t row = 0; row < rows; ++row) {
            out << "<TR>" << PinCell(graph, inputs, row) << PinCell(graph, outputs, row) << "</TR>";
        }
        out << "</TABLE>>];\n";
    }

    std::string PinCell(const Graph& graph, const IdentifierList& pins, std::size_t row) const {
        if (row >= pins.size()) {
            return "<TD BORDER=\"0\"></TD>";
        }
        const Pin& pin = graph.GetConstPin(pins[row]);
        const std::shared_ptr<const IDataValue> data = pin.GetData();
        std::string value = "<FONT COLOR=\"gray45\"><I>no value</I></FONT>";
        if (data) {
            value = options.describeValue ? Html(options.describeValue(*data)) : "holds a value";
        }
        std::string name = Html(PinName(graph, pin.GetId()));
        std::ostringstream cell;
        cell << "<TD PORT=\"p" << Hex(pin.GetId()) << "\" ALIGN=\"LEFT\"";
        if (pin.HasUpdatedData()) {
            cell << " BGCOLOR=\"" << kMarkedFill << "\"";
            name = "<B>" + name + "</B>";
        }
        cell << ">" << name << ": " << value << "<BR/><FONT POINT-SIZE=\"8\" COLOR=\"gray30\">"
             << Html(TypeName(pin.GetDataType())) << "</FONT></TD>";
        return cell.str();
    }

    void WriteLinks(const Graph& graph, const std::string& prefix, const std::string& indent) {
        for (const auto& [upstream, downstream] : graph.GetPinToPinEdges()) {
            const std::optional<PinOwner> from = OwnerOf(graph, upstream);
            const std::optional<PinOwner> to = OwnerOf(graph, downstream);
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
                << Quoted(QualifiedPinName(graph, upstream) + " -> " +
                          QualifiedPinName(graph, downstream));
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
    std::vector<const Graph*> openGraphs; // the graphs being drawn, outermost first
};

} // namespace

void WriteGraphviz(const Graph& graph, std::ostream& out, const GraphvizOptions& options) {
    GraphvizWriter(out, options).WriteDocument(graph);
}

} // namespace datagraph
