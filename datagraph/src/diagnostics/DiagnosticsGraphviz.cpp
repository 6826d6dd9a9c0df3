#include <datagraph/Diagnostics.h>

#include <datagraph/UbernodeNodeFunction.h>

#include "DiagnosticsGraphvizBody.h"
#include "Prefetch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace datagraph {

namespace {

using namespace diagnostics;

using NodeRecord = GraphStore::NodeRecord;
using PinRecord = GraphStore::PinRecord;

const char* const kMarkedFill = "#ffd966";
const char* const kHeaderFill = "#dce6f2";

// What a node's table needs, taken from its records and its function before anything is drawn:
// one cache line. Its texts lie together in the body's text, escaped: its name for a label, its
// description for a DOT string, then its pins' texts.
struct alignas(64) NodeCard {
    GUID id;
    const UbernodeNodeFunction* ubernode = nullptr;
    const std::string* classLabel = nullptr; // escaped for a label
    std::size_t text = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t descriptionLength = 0;
    std::uint32_t firstPin = 0; // its inputs by name, then its outputs by name
    std::uint32_t inputs = 0;
    std::uint32_t outputs = 0;
    bool dirty = false;
    bool disabled = false;
};

// What a pin's cell and links need: one cache line. Its texts lie together: its name for a label,
// its link's tooltip (\"node\".pin for a DOT string), the host's text for its value.
struct alignas(64) PinCard {
    GUID id;
    GUID node;
    const std::type_info* type = nullptr;
    std::size_t text = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t tooltipLength = 0;
    std::uint32_t valueLength = 0;
    bool output = false;
    bool marked = false;
    bool hasData = false;
};

// A pin with links from it, and where the cards of the pins it links lie in the body's targets.
struct Upstream {
    GUID id;
    std::uint32_t card;
    std::uint32_t targets;
    std::size_t firstTarget;
};

// The walk keeps its own stack of the graphs being drawn, outermost first, instead of recursing
// into each ubernode's inner graph, so that nesting of any depth is drawn.
//
// A body is drawn in two walks. The first goes over the store as its records lie in memory and
// asks the records and the host's objects for everything the picture shows, escaped once, into
// cards and one text. The second draws the cards in id order. On a large graph the id order is
// a walk at random through memory, and each node's records, functions, names and values lie in a
// dozen places; its card and text lie in two or three, so the second walk misses the cache a few
// times per node instead of a dozen, and those few are asked for ahead. The text goes into one
// buffer.
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
            : graph(graph)
            , store(GraphStore::Of(graph))
            , prefix(std::move(prefix))
            , level(level) {}

        std::string_view Text(std::size_t at, std::uint32_t length) const {
            return std::string_view(text.data() + at, length);
        }

        const Graph& graph;
        const GraphStore& store;
        std::string prefix;
        std::vector<Item> items;
        std::size_t next = 0;
        std::size_t level;
        // For an inner graph: the body that holds its ubernode, and the ubernode.
        const Body* outer = nullptr;
        GUID ubernode;
        std::string text;                   // the cards' texts
        std::vector<NodeCard> nodes;        // by the node's place in the store
        std::vector<PinCard> pins;          // each node's together
        std::vector<Upstream> upstreams;    // in id order
        std::vector<std::uint32_t> targets; // the cards of the pins each upstream pin links
    };

    void Open(const Graph& graph, std::size_t level, const Body* outer, const GUID& ubernode) {
        auto body = std::make_unique<Body>(graph, "g" + std::to_string(graphCount++) + "_", level);
        body->outer = outer;
        body->ubernode = ubernode;
        Gather(*body);
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
        openGraphs.erase(&body.graph);
        bodies.pop_back();
    }

    // The first walk: every node's and pin's card, the links, and the plan of the body.
    void Gather(Body& body) {
        const GraphStore& store = body.store;
        if (store.PinCount() > std::numeric_limits<std::uint32_t>::max()) {
            throw std::length_error("WriteGraphviz: more pins than a picture can number");
        }
        body.nodes.resize(store.NodeCount());
        body.pins.reserve(store.PinCount());
        // Room for the usual case at once, so that the lists are not copied as they grow; a
        // large block's untouched pages cost nothing.
        body.upstreams.reserve(store.PinCount());
        body.targets.reserve(store.PinCount());
        body.text.reserve(kTextPerNode * store.NodeCount() + kTextPerPin * store.PinCount());
        std::vector<std::uint32_t> cardOfPin(store.PinCount());
        std::vector<PlacedNode> byId;
        byId.reserve(store.NodeCount());
        store.ForEachNode([&](const NodeRecord& record) {
            GatherNode(body, record, cardOfPin);
            byId.push_back({record.Id(), record.Place()});
        });
        for (std::uint32_t& target : body.targets) {
            target = cardOfPin[target];
        }
        SortByIdOf(body.upstreams, [](const Upstream& pin) -> const GUID& { return pin.id; });
        SortByIdOf(byId, [](const PlacedNode& node) -> const GUID& { return node.id; });
        body.items = PlanBody(store, byId, body.level);
    }

    void GatherNode(Body& body, const NodeRecord& record, std::vector<std::uint32_t>& cardOfPin) {
        const Node& node = record.Object();
        const INodeFunction& function = *record.Function();
        NodeCard card;
        card.id = record.Id();
        card.dirty = node.GetDirty();
        card.disabled = node.GetDisabled();
        // The traversal's own finding spares the cast, which reads the host's object.
        card.ubernode =
            record.IsKnownPlain() ? nullptr : dynamic_cast<const UbernodeNodeFunction*>(&function);
        card.classLabel = &ClassLabel(function.GetClassIdentifier());
        const std::string name = function.GetName();
        const std::string description = function.GetDescription();
        card.text = body.text.size();
        card.nameLength = Append(body, [&name](StringSink& sink) { PutHtml(sink, name); });
        card.descriptionLength =
            Append(body, [&description](StringSink& sink) { PutQuotedBody(sink, description); });
        tooltipName.assign("\\\"");
        StringSink sink{tooltipName};
        PutQuotedBody(sink, name);
        tooltipName += "\\\".";
        card.firstPin = static_cast<std::uint32_t>(body.pins.size());
        card.inputs = GatherPins(body, function, record, record.InputPins(), cardOfPin);
        card.outputs = GatherPins(body, function, record, record.OutputPins(), cardOfPin);
        body.nodes[record.Place()] = card;
    }

    struct NamedPin {
        std::string name;
        const PinRecord* record;
        GUID id;
    };

    // The pins of one side by name, then id.
    std::uint32_t GatherPins(Body& body, const INodeFunction& function, const NodeRecord& owner,
                             const GraphStore::PinList& pins,
                             std::vector<std::uint32_t>& cardOfPin) {
        named.clear();
        for (const PinRecord* pin : pins) {
            named.push_back({PinNameOf(function, pin->Id()), pin, pin->Id()});
        }
        if (named.size() > 1) {
            std::sort(named.begin(), named.end(), [](const NamedPin& left, const NamedPin& right) {
                return left.name < right.name || (left.name == right.name && left.id < right.id);
            });
        }
        for (const NamedPin& pin : named) {
            const PinRecord& record = *pin.record;
            const Pin& object = record.Object();
            PinCard card;
            card.id = pin.id;
            card.node = owner.Id();
            card.output = record.IsOutput();
            card.type = &object.GetDataType();
            card.marked = object.HasUpdatedData();
            // Read in place: a copy of the pointer would write to the value's count.
            const std::shared_ptr<const IDataValue>& data = GraphStore::ValueOf(record);
            card.hasData = data != nullptr;
            card.text = body.text.size();
            card.nameLength = Append(body, [&pin](StringSink& sink) { PutHtml(sink, pin.name); });
            card.tooltipLength = Append(body, [this, &pin](StringSink& sink) {
                sink.Put(tooltipName.data(), tooltipName.size());
                PutQuotedBody(sink, pin.name);
            });
            if (data && options.describeValue) {
                const std::string described = options.describeValue(*data);
                card.valueLength =
                    Append(body, [&described](StringSink& sink) { PutHtml(sink, described); });
            }
            const auto cardAt = static_cast<std::uint32_t>(body.pins.size());
            cardOfPin[record.Place()] = cardAt;
            if (!record.Downstream().empty()) {
                body.upstreams.push_back({pin.id, cardAt,
                                          static_cast<std::uint32_t>(record.Downstream().size()),
                                          body.targets.size()});
                for (const PinRecord* downstream : record.Downstream()) {
                    body.targets.push_back(static_cast<std::uint32_t>(downstream->Place()));
                }
            }
            body.pins.push_back(card);
        }
        return static_cast<std::uint32_t>(named.size());
    }

    // Appends one text and returns its length. The cards keep lengths in 32 bits: a text of 4 GiB
    // is refused rather than cut.
    template <typename Write> static std::uint32_t Append(Body& body, Write&& write) {
        const std::size_t at = body.text.size();
        StringSink sink{body.text};
        write(sink);
        const std::size_t length = body.text.size() - at;
        if (length > std::numeric_limits<std::uint32_t>::max()) {
            throw std::length_error("WriteGraphviz: a name or value text of 4 GiB or more");
        }
        return static_cast<std::uint32_t>(length);
    }

    // An ubernode borrows pin names from its inner graph, which may not know the pin.
    static std::string PinNameOf(const INodeFunction& function, const GUID& pinId) {
        try {
            return function.GetInputOrOutputName(pinId);
        } catch (const GraphException&) {
            return GUIDToString(pinId);
        }
    }

    // A graph has few node classes, and most nodes have the class of the node before.
    const std::string& ClassLabel(const std::string& classIdentifier) {
        if (lastClass != nullptr && lastClass->first == classIdentifier) {
            return lastClass->second;
        }
        auto found = classLabels.find(classIdentifier);
        if (found == classLabels.end()) {
            std::string label;
            StringSink sink{label};
            PutHtml(sink, classIdentifier);
            found = classLabels.emplace(classIdentifier, std::move(label)).first;
        }
        lastClass = &*found;
        return found->second;
    }

    // Demangling costs more than the rest of a cell, and a graph has few types; most pins in a
    // row have the type of the pin before.
    const std::string& TypeLabel(const std::type_info& type) {
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

    // The card of the node a few items ahead is asked for, then, once it is near, its text and
    // its pins' cards.
    static void FetchAhead(const Body& body) {
        constexpr std::size_t kCard = 8;
        constexpr std::size_t kContents = 4;
        const std::size_t count = body.items.size();
        if (body.next + kCard < count) {
            const Item& item = body.items[body.next + kCard];
            if (item.kind == Item::Kind::Node) {
                PrefetchLines(&body.nodes[item.place]);
            }
        }
        if (body.next + kContents < count) {
            const Item& item = body.items[body.next + kContents];
            if (item.kind == Item::Kind::Node) {
                const NodeCard& card = body.nodes[item.place];
                PrefetchLines(body.text.data() + card.text, 2);
                PrefetchLines(
                    body.pins.data() + card.firstPin,
                    static_cast<int>(std::min<std::uint32_t>(4, card.inputs + card.outputs)));
            }
        }
    }

    void WriteItem(Body& body, const Item& item) {
        switch (item.kind) {
        case Item::Kind::OpenCluster:
            out.Indent(item.level) << "subgraph cluster_" << clusterCount++ << " {\n";
            out.Indent(item.level) << "  label=<";
            WriteSubgraphTitle(body.graph, item.id);
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
        const NodeCard& card = body.nodes[item.place];
        const Graph* inner = card.ubernode ? card.ubernode->GetGraph() : nullptr;
        if (inner == nullptr || openGraphs.count(inner) != 0) {
            WriteNodeTable(body, card, item.otherSubgraphs, item.level);
            return;
        }
        out.Indent(item.level) << "subgraph cluster_" << clusterCount++ << " {\n";
        out.Indent(item.level) << "  label=<<I>ubernode</I> ";
        out.Html(card.ubernode->GetName()) << ">;\n";
        out.Indent(item.level) << "  style=\"rounded,dashed\";\n";
        WriteNodeTable(body, card, item.otherSubgraphs, item.level + 1);
        out.Indent(item.level + 1) << "subgraph cluster_" << clusterCount++ << " {\n";
        out.Indent(item.level + 2) << "label=<inner graph>;\n";
        Open(*inner, item.level + 2, &body, item.id);
    }

    // Dashed lines from the ubernode's pins to the inner pins of the same ids.
    void WriteMappings(const Body& outer, const GUID& nodeId, const Body& inner,
                       std::size_t level) {
        const Graph& graph = outer.graph;
        for (const GUID& pinId : Sorted(graph.GetInputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = OwnerIn(inner.store, pinId)) {
                out.Indent(level) << outer.prefix << "n";
                out.Hex(nodeId) << ":p";
                out.Hex(pinId) << " -> " << inner.prefix << "n";
                out.Hex(owner->node) << ":p";
                out.Hex(pinId) << " [" << kMapping << "];\n";
            }
        }
        for (const GUID& pinId : Sorted(graph.GetOutputPins(nodeId))) {
            if (const std::optional<PinOwner> owner = OwnerIn(inner.store, pinId)) {
                out.Indent(level) << inner.prefix << "n";
                out.Hex(owner->node) << ":p";
                out.Hex(pinId) << " -> " << outer.prefix << "n";
                out.Hex(nodeId) << ":p";
                out.Hex(pinId) << " [" << kMapping << ", constraint=false];\n";
            }
        }
    }

    void WriteNodeTable(const Body& body, const NodeCard& card,
                        const IdentifierList& otherSubgraphs, std::size_t level) {
        const std::size_t rows = std::max(card.inputs, card.outputs);
        out.Indent(level) << body.prefix << "n";
        out.Hex(card.id) << " [tooltip=\""
                         << body.Text(card.text + card.nameLength, card.descriptionLength)
                         << "\", label=<<TABLE BORDER=\"0\" CELLBORDER=\"1\" CELLSPACING=\"0\" "
                            "CELLPADDING=\"4\"><TR><TD"
                         << (rows > 0 ? " COLSPAN=\"2\"" : "") << " BGCOLOR=\"" << kHeaderFill
                         << "\"><B>" << body.Text(card.text, card.nameLength)
                         << "</B><BR/><FONT POINT-SIZE=\"8\">" << *card.classLabel;
        if (card.dirty) {
            out << " &#183; dirty";
        }
        if (card.disabled) {
            out << " &#183; disabled";
        }
        for (const GUID& subgraph : otherSubgraphs) {
            out << "<BR/>also in ";
            WriteSubgraphTitle(body.graph, subgraph);
        }
        out << "</FONT></TD></TR>";
        const PinCard* inputs = body.pins.data() + card.firstPin;
        const PinCard* outputs = inputs + card.inputs;
        for (std::size_t row = 0; row < rows; ++row) {
            out << "<TR>";
            WritePinCell(body, row < card.inputs ? inputs + row : nullptr);
            WritePinCell(body, row < card.outputs ? outputs + row : nullptr);
            out << "</TR>";
        }
        out << "</TABLE>>];\n";
    }

    static std::string_view Tooltip(const Body& body, const PinCard& pin) {
        return body.Text(pin.text + pin.nameLength, pin.tooltipLength);
    }

    void WritePinCell(const Body& body, const PinCard* pin) {
        if (pin == nullptr) {
            out << "<TD BORDER=\"0\"></TD>";
            return;
        }
        out << "<TD PORT=\"p";
        out.Hex(pin->id) << "\" ALIGN=\"LEFT\"";
        const std::string_view name = body.Text(pin->text, pin->nameLength);
        if (pin->marked) {
            out << " BGCOLOR=\"" << kMarkedFill << "\"><B>" << name << "</B>: ";
        } else {
            out << ">" << name << ": ";
        }
        if (!pin->hasData) {
            out << "<FONT COLOR=\"gray45\"><I>no value</I></FONT>";
        } else if (options.describeValue) {
            out << body.Text(pin->text + pin->nameLength + pin->tooltipLength, pin->valueLength);
        } else {
            out << "holds a value";
        }
        out << "<BR/><FONT POINT-SIZE=\"8\" COLOR=\"gray30\">" << TypeLabel(*pin->type)
            << "</FONT></TD>";
    }

    // In the order of the link table: by upstream pin id, each pin's links oldest first.
    void WriteLinks(const Body& body) {
        constexpr std::size_t kCards = 8;
        constexpr std::size_t kTexts = 4;
        const std::vector<Upstream>& upstreams = body.upstreams;
        const auto links = [&body](const Upstream& pin) {
            const std::uint32_t* first = body.targets.data() + pin.firstTarget;
            return std::pair(first, first + pin.targets);
        };
        for (std::size_t at = 0; at < upstreams.size(); ++at) {
            // In id order as well: the cards of the pins ahead and what they link, then the
            // texts of those.
            if (at + kCards < upstreams.size()) {
                const Upstream& ahead = upstreams[at + kCards];
                PrefetchLines(&body.pins[ahead.card]);
                for (auto [target, end] = links(ahead); target != end; ++target) {
                    PrefetchLines(&body.pins[*target]);
                }
            }
            if (at + kTexts < upstreams.size()) {
                const Upstream& ahead = upstreams[at + kTexts];
                PrefetchLines(Tooltip(body, body.pins[ahead.card]).data());
                for (auto [target, end] = links(ahead); target != end; ++target) {
                    PrefetchLines(Tooltip(body, body.pins[*target]).data());
                }
            }
            const PinCard& from = body.pins[upstreams[at].card];
            for (auto [target, end] = links(upstreams[at]); target != end; ++target) {
                const PinCard& to = body.pins[*target];
                const char* problem = nullptr;
                if (!from.output || to.output) {
                    problem = "wrong side";
                } else if (*from.type != *to.type) {
                    problem = "types differ";
                }
                out.Indent(body.level) << body.prefix << "n";
                out.Hex(from.node) << ":p";
                out.Hex(from.id) << ":" << Compass(from) << " -> " << body.prefix << "n";
                out.Hex(to.node) << ":p";
                out.Hex(to.id) << ":" << Compass(to) << " [tooltip=\"" << Tooltip(body, from)
                               << " -> " << Tooltip(body, to) << "\"";
                if (problem != nullptr) {
                    out << ", color=red, fontcolor=red, style=bold, label=<" << problem << ">";
                }
                out << "];\n";
            }
        }
    }

    // Inputs sit in the table's left column and outputs in its right one.
    static const char* Compass(const PinCard& pin) { return pin.output ? "e" : "w"; }

    // Enough text for a node with a name of a dozen characters and short pin names.
    static constexpr std::size_t kTextPerNode = 32;
    static constexpr std::size_t kTextPerPin = 48;

    static constexpr const char* kMapping =
        "style=dashed, color=gray50, arrowhead=empty, tooltip=\"ubernode pin and inner pin\"";

    TextOut out;
    const GraphvizOptions& options;
    int graphCount = 0;
    int clusterCount = 0;
    std::vector<std::unique_ptr<Body>> bodies; // the graphs being drawn, outermost first
    std::unordered_set<const Graph*> openGraphs;
    std::unordered_map<std::string, std::string> classLabels;
    const std::pair<const std::string, std::string>* lastClass = nullptr;
    std::unordered_map<std::type_index, std::string> typeLabels;
    const std::type_info* lastType = nullptr;
    const std::string* lastLabel = nullptr;
    // Scratch space, reused from node to node.
    std::vector<NamedPin> named;
    std::string tooltipName;
};

} // namespace

void WriteGraphviz(const Graph& graph, std::ostream& out, const GraphvizOptions& options) {
    GraphvizWriter(out, options).WriteDocument(graph);
}

} // namespace datagraph
