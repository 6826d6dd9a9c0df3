#include <datagraph/Diagnostics.h>

#include <datagraph/UbernodeNodeFunction.h>

#include "DiagnosticsGraphvizBody.h"

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

using NodeRecord = GraphStore::NodeRecord;
using PinRecord = GraphStore::PinRecord;

// What a node's table and its links write of a node or a pin, worked out once.
struct Text {
    std::string name; // a node's in double quotes
    std::string hex;
};

const char* const kMarkedFill = "#ffd966";
const char* const kHeaderFill = "#dce6f2";

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
        // Filled as the nodes' tables are written, for the links written after them.
        std::unordered_map<const NodeRecord*, Text> nodeTexts;
        std::unordered_map<const PinRecord*, Text> pinTexts;
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
        Body& body = *bodies.back();
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

    void WriteItem(Body& body, const Item& item) {
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
    void WriteNode(Body& body, const Item& item) {
        const auto* ubernode =
            dynamic_cast<const UbernodeNodeFunction*>(item.node->Function().get());
        const Graph* inner = ubernode ? ubernode->GetGraph() : nullptr;
        if (inner == nullptr || openGraphs.count(inner) != 0) {
            WriteNodeTable(body, *item.node, item.otherSubgraphs, item.level);
            return;
        }
        const std::string indent = Indent(item.level);
        out << indent << "subgraph cluster_" << clusterCount++ << " {\n"
            << indent << "  label=<<I>ubernode</I> " << Html(ubernode->GetName()) << ">;\n"
            << indent << "  style=\"rounded,dashed\";\n";
        WriteNodeTable(body, *item.node, item.otherSubgraphs, item.level + 1);
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

    void WriteNodeTable(Body& body, const NodeRecord& record, const IdentifierList& otherSubgraphs,
                        std::size_t level) {
        const Graph& graph = body.index.GetGraph();
        const Node& node = record.Object();
        const INodeFunction& function = *record.Function();
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
        const std::string name = function.GetName();
        const Text& text = body.nodeTexts[&record] = {"\"" + name + "\"", Hex(record.Id())};
        const std::vector<const PinRecord*> inputs =
            SortedByName(body, function, record.InputPins());
        const std::vector<const PinRecord*> outputs =
            SortedByName(body, function, record.OutputPins());
        const std::size_t rows = std::max(inputs.size(), outputs.size());
        out << Indent(level) << body.prefix << "n" << text.hex
            << " [tooltip=" << Quoted(function.GetDescription()) << ", label=<<TABLE BORDER=\"0\" "
            << "CELLBORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"4\">"
            << "<TR><TD" << (rows > 0 ? " COLSPAN=\"2\"" : "") << " BGCOLOR=\"" << kHeaderFill
            << "\"><B>" << Html(name) << "</B><BR/><FONT POINT-SIZE=\"8\">" << notes
            << "</FONT></TD></TR>";
        for (std::size_t row = 0; row < rows; ++row) {
            out << "<TR>" << PinCell(body, inputs, row) << PinCell(body, outputs, row) << "</TR>";
        }
        out << "</TABLE>>];\n";
    }

    // The pins by name, then id, each one's text kept for the links.
    static std::vector<const PinRecord*> SortedByName(Body& body, const INodeFunction& function,
                                                      const GraphStore::PinList& pins) {
        std::vector<std::pair<const std::string*, const PinRecord*>> named;
        for (const PinRecord* pin : pins) {
            const GUID pinId = pin->Id();
            const Text& text = body.pinTexts[pin] = {PinNameOf(function, pinId), Hex(pinId)};
            named.emplace_back(&text.name, pin);
        }
        std::sort(named.begin(), named.end(), [](const auto& left, const auto& right) {
            return *left.first < *right.first ||
                   (*left.first == *right.first && left.second->Id() < right.second->Id());
        });
        std::vector<const PinRecord*> sorted;
        for (const auto& entry : named) {
            sorted.push_back(entry.second);
        }
        return sorted;
    }

    // An ubernode borrows pin names from its inner graph, which may not know the pin.
    static std::string PinNameOf(const INodeFunction& function, const GUID& pinId) {
        try {
            return function.GetInputOrOutputName(pinId);
        } catch (const GraphException&) {
            return GUIDToString(pinId);
        }
    }

    std::string PinCell(const Body& body, const std::vector<const PinRecord*>& pins,
                        std::size_t row) {
        if (row >= pins.size()) {
            return "<TD BORDER=\"0\"></TD>";
        }
        const Pin& pin = pins[row]->Object();
        const Text& text = body.pinTexts.at(pins[row]);
        const std::shared_ptr<const IDataValue> data = pin.GetData();
        std::string value = "<FONT COLOR=\"gray45\"><I>no value</I></FONT>";
        if (data) {
            value = options.describeValue ? Html(options.describeValue(*data)) : "holds a value";
        }
        std::string name = Html(text.name);
        std::string cell = "<TD PORT=\"p" + text.hex + "\" ALIGN=\"LEFT\"";
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

    // In the order of the link table: by upstream pin id, each pin's links oldest first.
    void WriteLinks(const Body& body) {
        std::vector<const PinRecord*> upstreams;
        body.index.Store().ForEachPin([&upstreams](const PinRecord& pin) {
            if (!pin.Downstream().empty()) {
                upstreams.push_back(&pin);
            }
        });
        SortById(upstreams);
        const std::string indent = Indent(body.level);
        const std::string& prefix = body.prefix;
        for (const PinRecord* upstream : upstreams) {
            const Text& from = body.pinTexts.at(upstream);
            const Text& fromNode = body.nodeTexts.at(&upstream->Owner());
            const PinSide fromSide = upstream->IsOutput() ? PinSide::Output : PinSide::Input;
            for (const PinRecord* downstream : upstream->Downstream()) {
                const Text& to = body.pinTexts.at(downstream);
                const Text& toNode = body.nodeTexts.at(&downstream->Owner());
                const PinSide toSide = downstream->IsOutput() ? PinSide::Output : PinSide::Input;
                const char* problem = nullptr;
                if (fromSide != PinSide::Output || toSide != PinSide::Input) {
                    problem = "wrong side";
                } else if (upstream->Object().GetDataType() != downstream->Object().GetDataType()) {
                    problem = "types differ";
                }
                out << indent << prefix << "n" << fromNode.hex << ":p" << from.hex << ":"
                    << Compass(fromSide) << " -> " << prefix << "n" << toNode.hex << ":p" << to.hex
                    << ":" << Compass(toSide) << " [tooltip="
                    << Quoted(fromNode.name + "." + from.name + " -> " + toNode.name + "." +
                              to.name);
                if (problem != nullptr) {
                    out << ", color=red, fontcolor=red, style=bold, label=<" << problem << ">";
                }
                out << "];\n";
            }
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
