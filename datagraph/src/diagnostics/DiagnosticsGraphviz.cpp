#include <datagraph/Diagnostics.h>

#include <datagraph/UbernodeNodeFunction.h>

#include "DiagnosticsGraphvizBody.h"
#include "Prefetch.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// Where a pin's text for its links lies in its body's `names`: its node's name in double quotes
// and its own name, both escaped for a DOT string.
struct PinText {
    std::size_t node = 0;
    std::size_t nodeLength = 0;
    std::size_t pin = 0;
    std::size_t pinLength = 0;
};

const char* const kMarkedFill = "#ffd966";
const char* const kHeaderFill = "#dce6f2";

// The walk keeps its own stack of the graphs being drawn, outermost first, instead of recursing
// into each ubernode's inner graph, so that nesting of any depth is drawn. The text goes into one
// buffer; each node's and pin's text is escaped once, while its table is written, and kept for
// its links.
class GraphvizWriter {
public:
    GraphvizWriter(std::ostream& out, const GraphvizOptions& options)
        : out(out)
        , options(options) {}

    void WriteDocument(const Graph& graph) {
        out << "digraph \"";
        out.QuotedBody(options.graphName)
            << "\" {\n"
            << "  graph [rankdir=LR, fontname=\"Helvetica\", fontsize=11, style=rounded];\n"
            << "  node [shape=plaintext, fontname=\"Helvetica\", fontsize=10];\n"
            << "  edge [fontname=\"Helvetica\", fontsize=9];\n";
        Open(graph, 1, nullptr, GUID());
        while (!bodies.empty()) {
            Body& body = *bodies.back();
            if (body.next == body.items.size()) {
                Close();
            } else {
                FetchAhead(body);
                WriteItem(body, body.items[body.next++]);
            }
        }
        // Last, so that the clusters do not inherit it as their own title.
        out << "  labelloc=b;\n  label=<<FONT POINT-SIZE=\"9\">filled pin: holds the updated-data "
               "mark &#183; red link: cannot carry a value</FONT>>;\n}\n";
        out.Flush();
    }

private:
    struct Body {
        Body(const Graph& graph, std::string prefix, std::size_t level)
            : index(graph)
            , prefix(std::move(prefix))
            , items(PlanBody(index, level))
            , level(level)
            , pinTexts(index.Store().PinCount()) {}

        GraphIndex index;
        std::string prefix;
        std::vector<Item> items;
        std::size_t next = 0;
        std::size_t level;
        // For an inner graph: the body that holds its ubernode, and the ubernode.
        const Body* outer = nullptr;
        GUID ubernode;
        // Filled as the nodes' tables are written, for the links written after them.
        std::string names;
        std::vector<PinText> pinTexts; // by the pin's place
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
            out.Indent(level + 1) << "}\n";
            WriteMappings(*body.outer, body.ubernode, body, level + 1);
            out.Indent(level) << "}\n";
        }
        openGraphs.erase(&body.index.GetGraph());
        bodies.pop_back();
    }

    // The tables go in id order, which on a large graph is a walk at random through memory: the
    // record of the node a dozen items ahead is asked for, then, once it is near, its Node object
    // and pins, then its function, so that the cache misses of several nodes overlap instead of
    // each stalling the writer.
    static void FetchAhead(const Body& body) {
        constexpr std::size_t kRecord = 12;
        constexpr std::size_t kObjects = 6;
        constexpr std::size_t kFunction = 3;
        if (body.next + kRecord < body.items.size()) {
            Prefetch(body.items[body.next + kRecord].node);
        }
        if (body.next + kObjects < body.items.size()) {
            if (const NodeRecord* node = body.items[body.next + kObjects].node) {
                Prefetch(node->SharedObject().get());
                for (const bool output : {false, true}) {
                    for (const PinRecord* pin : node->Pins(output)) {
                        Prefetch(pin);
                    }
                }
            }
        }
        if (body.next + kFunction < body.items.size()) {
            if (const NodeRecord* node = body.items[body.next + kFunction].node) {
                Prefetch(node->Function().get());
            }
        }
    }

    static void Prefetch(const void* address) { PrefetchLines(address); }

    void WriteItem(Body& body, const Item& item) {
        switch (item.kind) {
        case Item::Kind::OpenCluster:
            out.Indent(item.level) << "subgraph cluster_" << clusterCount++ << " {\n";
            out.Indent(item.level) << "  label=<";
            WriteSubgraphTitle(body.index.GetGraph(), item.id);
            out << ">;\n";
            out.Indent(item.level) << "  color=\"#7f8c9d\";\n";
            break;
        case Item::Kind::CloseCluster:
            out.Indent(item.level) << "}\n";
            break;
        case Item::Kind::Node:
            WriteNode(body, item);
            break;
        }
    }

    void WriteSubgraphTitle(const Graph& graph, const GUID& subgraph) {
        const auto named = options.subgraphNames.find(subgraph);
        if (named != options.subgraphNames.end()) {
            out << "<B>";
            out.Html(named->second) << "</B>";
        } else {
            char hex[32];
            WriteHex(hex, subgraph);
            out << "subgraph " << std::string_view(hex, 8);
        }
        if (subgraph == graph.GetDefaultExecutionSubgraphID()) {
            out << " (default)";
        }
    }

    // An ubernode whose inner graph is not being drawn already gets a cluster holding its table
    // and the inner graph, which the walk draws next.
    void WriteNode(Body& body, const Item& item) {
        // The traversal's own finding spares the cast, which reads the host's object.
        const auto* ubernode =
            item.node->IsKnownPlain()
                ? nullptr
                : dynamic_cast<const UbernodeNodeFunction*>(item.node->Function().get());
        const Graph* inner = ubernode ? ubernode->GetGraph() : nullptr;
        if (inner == nullptr || openGraphs.count(inner) != 0) {
            WriteNodeTable(body, *item.node, item.otherSubgraphs, item.level);
            return;
        }
        out.Indent(item.level) << "subgraph cluster_" << clusterCount++ << " {\n";
        out.Indent(item.level) << "  label=<<I>ubernode</I> ";
        out.Html(ubernode->GetName()) << ">;\n";
        out.Indent(item.level) << "  style=\"rounded,dashed\";\n";
        WriteNodeTable(body, *item.node, item.otherSubgraphs, item.level + 1);
        out.Indent(item.level + 1) << "subgraph cluster_" << clusterCount++ << " {\n";
        out.Indent(item.level + 2) << "label=<inner graph>;\n";
        Open(*inner, item.level + 2, &body, item.id);
    }

    // Dashed lines from the ubernode's pins to the inner pins of the same ids.
    void WriteMappings(const Body& outer, const GUID& nodeId, const Body& inner,
                       std::size_t level) {
        const Graph& graph = outer.index.GetGraph();
        for (const GUID& pinId : Sorted(graph.GetInputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = inner.index.OwnerOf(pinId)) {
                out.Indent(level) << outer.prefix << "n";
                out.Hex(nodeId) << ":p";
                out.Hex(pinId) << " -> " << inner.prefix << "n";
                out.Hex(owner->node) << ":p";
                out.Hex(pinId) << " [" << kMapping << "];\n";
            }
        }
        for (const GUID& pinId : Sorted(graph.GetOutputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = inner.index.OwnerOf(pinId)) {
                out.Indent(level) << inner.prefix << "n";
                out.Hex(owner->node) << ":p";
                out.Hex(pinId) << " -> " << outer.prefix << "n";
                out.Hex(nodeId) << ":p";
                out.Hex(pinId) << " [" << kMapping << ", constraint=false];\n";
            }
        }
    }

    void WriteNodeTable(Body& body, const NodeRecord& record, const IdentifierList& otherSubgraphs,
                        std::size_t level) {
        const Graph& graph = body.index.GetGraph();
        const Node& node = record.Object();
        const INodeFunction& function = *record.Function();
        const std::string classIdentifier = function.GetClassIdentifier();
        const std::string name = function.GetName();
        const std::size_t nodeAt = body.names.size();
        StringSink names{body.names};
        names.text += "\\\"";
        PutQuotedBody(names, name);
        names.text += "\\\"";
        const std::size_t nodeLength = body.names.size() - nodeAt;
        SortByName(body, function, record.InputPins(), inputs, nodeAt, nodeLength);
        SortByName(body, function, record.OutputPins(), outputs, nodeAt, nodeLength);
        const std::size_t rows = std::max(inputs.size(), outputs.size());
        out.Indent(level) << body.prefix << "n";
        out.Hex(record.Id()) << " [tooltip=\"";
        out.QuotedBody(function.GetDescription())
            << "\", label=<<TABLE BORDER=\"0\" CELLBORDER=\"1\" CELLSPACING=\"0\" "
               "CELLPADDING=\"4\"><TR><TD"
            << (rows > 0 ? " COLSPAN=\"2\"" : "") << " BGCOLOR=\"" << kHeaderFill << "\"><B>";
        out.Html(name) << "</B><BR/><FONT POINT-SIZE=\"8\">";
        out.Html(classIdentifier);
        if (node.GetDirty()) {
            out << " &#183; dirty";
        }
        if (node.GetDisabled()) {
            out << " &#183; disabled";
        }
        for (const GUID& subgraph : otherSubgraphs) {
            out << "<BR/>also in ";
            WriteSubgraphTitle(graph, subgraph);
        }
        out << "</FONT></TD></TR>";
        for (std::size_t row = 0; row < rows; ++row) {
            out << "<TR>";
            WritePinCell(inputs, row);
            WritePinCell(outputs, row);
            out << "</TR>";
        }
        out << "</TABLE>>];\n";
    }

    struct NamedPin {
        std::string name;
        const PinRecord* record;
        GUID id;
    };

    // The pins by name, then id, each one's text kept for the links.
    static void SortByName(Body& body, const INodeFunction& function,
                           const GraphStore::PinList& pins, std::vector<NamedPin>& named,
                           std::size_t nodeAt, std::size_t nodeLength) {
        named.clear();
        for (const PinRecord* pin : pins) {
            const GUID pinId = pin->Id();
            named.push_back({PinNameOf(function, pinId), pin, pinId});
            const std::size_t pinAt = body.names.size();
            StringSink names{body.names};
            PutQuotedBody(names, named.back().name);
            body.pinTexts[pin->Place()] = {nodeAt, nodeLength, pinAt, body.names.size() - pinAt};
        }
        if (named.size() > 1) {
            std::sort(named.begin(), named.end(), [](const NamedPin& left, const NamedPin& right) {
                return left.name < right.name || (left.name == right.name && left.id < right.id);
            });
        }
    }

    // An ubernode borrows pin names from its inner graph, which may not know the pin.
    static std::string PinNameOf(const INodeFunction& function, const GUID& pinId) {
        try {
            return function.GetInputOrOutputName(pinId);
        } catch (const GraphException&) {
            return GUIDToString(pinId);
        }
    }

    void WritePinCell(const std::vector<NamedPin>& pins, std::size_t row) {
        if (row >= pins.size()) {
            out << "<TD BORDER=\"0\"></TD>";
            return;
        }
        const Pin& pin = pins[row].record->Object();
        const std::shared_ptr<const IDataValue> data = pin.GetData();
        // The host's text first, as it was always asked for before the cell was written.
        std::string described;
        if (data && options.describeValue) {
            described = options.describeValue(*data);
        }
        const bool marked = pin.HasUpdatedData();
        out << "<TD PORT=\"p";
        out.Hex(pins[row].id) << "\" ALIGN=\"LEFT\"";
        if (marked) {
            out << " BGCOLOR=\"" << kMarkedFill << "\"><B>";
            out.Html(pins[row].name) << "</B>: ";
        } else {
            out << ">";
            out.Html(pins[row].name) << ": ";
        }
        if (!data) {
            out << "<FONT COLOR=\"gray45\"><I>no value</I></FONT>";
        } else if (options.describeValue) {
            out.Html(described);
        } else {
            out << "holds a value";
        }
        out << "<BR/><FONT POINT-SIZE=\"8\" COLOR=\"gray30\">" << TypeLabel(pin.GetDataType())
            << "</FONT></TD>";
    }

    // Demangling costs more than the rest of a cell, and a graph has few types; most pins in a
    // row have the type of the pin before.
    std::string_view TypeLabel(const std::type_info& type) {
        if (&type == lastType) {
            return *lastLabel;
        }
        auto found = typeLabels.find(type);
        if (found == typeLabels.end()) {
            std::string label;
            StringSink sink{label};
            PutHtml(sink, TypeName(type));
            found = typeLabels.emplace(type, std::move(label)).first;
        }
        lastType = &type;
        lastLabel = &found->second;
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
        const std::string_view names = body.names;
        auto textOf = [&body](const PinRecord* pin) -> const PinText& {
            return body.pinTexts[pin->Place()];
        };
        constexpr std::size_t kPin = 12;
        constexpr std::size_t kLinked = 6;
        for (std::size_t at = 0; at < upstreams.size(); ++at) {
            // In id order as well: the pins ahead first, then what they link.
            if (at + kPin < upstreams.size()) {
                Prefetch(upstreams[at + kPin]);
            }
            if (at + kLinked < upstreams.size()) {
                const PinRecord* ahead = upstreams[at + kLinked];
                Prefetch(&ahead->Owner());
                Prefetch(&body.pinTexts[ahead->Place()]);
                for (const PinRecord* downstream : ahead->Downstream()) {
                    Prefetch(downstream);
                }
            }
            const PinRecord* upstream = upstreams[at];
            const PinText& from = textOf(upstream);
            const GUID fromId = upstream->Id();
            const GUID fromNode = upstream->Owner().Id();
            const PinSide fromSide = upstream->IsOutput() ? PinSide::Output : PinSide::Input;
            for (const PinRecord* downstream : upstream->Downstream()) {
                const PinText& to = textOf(downstream);
                const PinSide toSide = downstream->IsOutput() ? PinSide::Output : PinSide::Input;
                const char* problem = nullptr;
                if (fromSide != PinSide::Output || toSide != PinSide::Input) {
                    problem = "wrong side";
                } else if (upstream->Object().GetDataType() != downstream->Object().GetDataType()) {
                    problem = "types differ";
                }
                out.Indent(body.level) << body.prefix << "n";
                out.Hex(fromNode) << ":p";
                out.Hex(fromId) << ":" << Compass(fromSide) << " -> " << body.prefix << "n";
                out.Hex(downstream->Owner().Id()) << ":p";
                out.Hex(downstream->Id()) << ":" << Compass(toSide) << " [tooltip=\""
                                          << names.substr(from.node, from.nodeLength) << "."
                                          << names.substr(from.pin, from.pinLength) << " -> "
                                          << names.substr(to.node, to.nodeLength) << "."
                                          << names.substr(to.pin, to.pinLength) << "\"";
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

    TextOut out;
    const GraphvizOptions& options;
    int graphCount = 0;
    int clusterCount = 0;
    std::vector<std::unique_ptr<Body>> bodies; // the graphs being drawn, outermost first
    std::unordered_set<const Graph*> openGraphs;
    std::unordered_map<std::type_index, std::string> typeLabels;
    const std::type_info* lastType = nullptr;
    const std::string* lastLabel = nullptr;
    // Scratch space, reused from node to node.
    std::vector<NamedPin> inputs;
    std::vector<NamedPin> outputs;
};

} // namespace

void WriteGraphviz(const Graph& graph, std::ostream& out, const GraphvizOptions& options) {
    GraphvizWriter(out, options).WriteDocument(graph);
}

} // namespace datagraph
