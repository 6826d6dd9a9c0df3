// The diagnostics' output, byte for byte, on graphs whose every id is fixed: the Graphviz text of
// a few small graphs (escapes, non-ASCII text, marks, disabled and dirty nodes, red links,
// clusters, nested ubernodes), and the cycle and problems found on rings and on graphs with
// several cycles. The expected texts live in golden/; a run with KESDATAGRAPH_WRITE_GOLDEN=1 in
// the environment writes them afresh instead of comparing (review the difference before
// committing it).

#include <datagraph/Diagnostics.h>
#include <datagraph/Graph.h>
#include <datagraph/UbernodeNodeFunction.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace datagraph::test {
namespace {

// The n-th id of a test: spread over the id space, so that id order is not the order of making.
GUID FixedId(std::uint64_t n) {
    GUID id;
    std::uint64_t state = n * 0xd1b54a32d192ed03u + 0x2545f4914f6cdd1du;
    for (int half = 0; half < 2; ++half) {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        z ^= z >> 31;
        for (int byte = 0; byte < 8; ++byte) {
            id.data[half * 8 + byte] = static_cast<std::uint8_t>(z >> (8 * byte));
        }
    }
    return id;
}

struct PinSpec {
    GUID id;
    std::string name;
    const std::type_info* type;
};

// A node function whose ids, names and pins are all chosen by the test. Each output holds a
// value of its type: one plus the number of inputs given.
class FixedFunction : public INodeFunction {
public:
    FixedFunction(const GUID& id, std::string name, std::vector<PinSpec> inputs,
                  std::vector<PinSpec> outputs)
        : id(id)
        , name(std::move(name))
        , inputs(std::move(inputs))
        , outputs(std::move(outputs)) {}

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<FixedFunction>(*this);
    }

    DataMap Execute(const DataMap& given) override {
        DataMap out;
        const int value = 1 + static_cast<int>(given.size());
        for (const PinSpec& pin : outputs) {
            out.emplace(pin.id, *pin.type == typeid(DoubleValue) ? Double(value) : Int(value));
        }
        return out;
    }

    std::string GetName() const override { return name; }

    std::string GetDescription() const override { return "what " + name + " does"; }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID& pinId) const override {
        for (const auto* side : {&inputs, &outputs}) {
            for (const PinSpec& pin : *side) {
                if (pin.id == pinId) {
                    return pin.name;
                }
            }
        }
        throw GraphException("no such pin");
    }

    std::string GetInputOrOutputDescription(const GUID&) const override { return {}; }

    Schema GetInputSchema() const override { return SchemaOf(inputs); }

    Schema GetOutputSchema() const override { return SchemaOf(outputs); }

    std::string GetClassIdentifier() const override { return "golden." + name.substr(0, 3); }

private:
    static Schema SchemaOf(const std::vector<PinSpec>& pins) {
        Schema schema;
        for (const PinSpec& pin : pins) {
            schema.emplace(pin.id, *pin.type);
        }
        return schema;
    }

    GUID id;
    std::string name;
    std::vector<PinSpec> inputs;
    std::vector<PinSpec> outputs;
};

// Hands out fixed ids in turn and builds nodes from them.
class GoldenBuilder {
public:
    explicit GoldenBuilder(std::uint64_t seed)
        : next(seed * 100000) {}

    GUID Next() { return FixedId(next++); }

    struct Made {
        GUID id;
        std::vector<GUID> in;
        std::vector<GUID> out;
    };

    Made Add(Graph& graph, const std::string& name, std::vector<std::string> inputNames,
             std::vector<std::string> outputNames, const std::type_info& type = typeid(IntValue),
             const GUID& subgraph = GetNullGUID()) {
        Made made{Next(), {}, {}};
        std::vector<PinSpec> inputs;
        std::vector<PinSpec> outputs;
        for (const std::string& pin : inputNames) {
            made.in.push_back(Next());
            inputs.push_back({made.in.back(), pin, &type});
        }
        for (const std::string& pin : outputNames) {
            made.out.push_back(Next());
            outputs.push_back({made.out.back(), pin, &type});
        }
        graph.CreateNode(std::make_shared<FixedFunction>(made.id, name, inputs, outputs), subgraph);
        return made;
    }

private:
    std::uint64_t next;
};

std::string GoldenPath(const std::string& file) {
    return std::string(KESDATAGRAPH_GOLDEN_DIR) + "/" + file;
}

// Compares `actual` with the golden file, or writes the file when asked to.
void ExpectGolden(const std::string& file, const std::string& actual) {
    const std::string path = GoldenPath(file);
    if (const char* write = std::getenv("KESDATAGRAPH_WRITE_GOLDEN"); write && *write == '1') {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path;
    std::ostringstream expected;
    expected << in.rdbuf();
    if (expected.str() == actual) {
        return;
    }
    // The first differing line, which is what one needs to see of a long text.
    std::istringstream left(expected.str());
    std::istringstream right(actual);
    std::string leftLine;
    std::string rightLine;
    for (int line = 1;; ++line) {
        const bool leftMore = static_cast<bool>(std::getline(left, leftLine));
        const bool rightMore = static_cast<bool>(std::getline(right, rightLine));
        if (leftLine != rightLine || leftMore != rightMore) {
            ADD_FAILURE() << file << " differs at line " << line << "\nexpected: " << leftLine
                          << "\nactual:   " << rightLine;
            return;
        }
        if (!leftMore) {
            ADD_FAILURE() << file << " differs (line endings?)";
            return;
        }
    }
}

std::string Picture(const Graph& graph, const GraphvizOptions& options = GraphvizOptions()) {
    std::ostringstream out;
    WriteGraphviz(graph, out, options);
    return out.str();
}

const std::string kAwkward = "say \"hi\" \\ <b> & </TD> ]; } \n\tnext line";
const std::string kNonAscii = "Gr\xc3\xb6\xc3\x9f"
                              "e \xe2\x86\x92 \xce\xbb \xf0\x9f\x93\x88";

// Source --> Relay --> Sink, a red link of differing types and one from an input pin, a node
// with more outputs than inputs, one with no pins, a disabled and a dirty node, two subgraphs
// (one named awkwardly) and a node filed under both, after a traversal so that pins hold values
// and marks.
TEST(DiagnosticsGoldenTest, GraphvizOfAFlatGraphWithEveryKindOfCellAndLink) {
    GoldenBuilder ids(1);
    const GUID mainSubgraph = ids.Next();
    const GUID otherSubgraph = ids.Next();
    Graph graph(mainSubgraph);
    const auto source = ids.Add(graph, kAwkward, {}, {"out", "second <out>"});
    const auto relay = ids.Add(graph, kNonAscii, {kNonAscii}, {"r\xc3\xa9sultat"});
    const auto sink = ids.Add(graph, "sink", {"a", "b & c", "d"}, {});
    const auto wide = ids.Add(graph, "wide", {"x"}, {"o1", "o2", "o3"});
    const auto real = ids.Add(graph, "real", {"in"}, {"out"}, typeid(DoubleValue), otherSubgraph);
    ids.Add(graph, "alone", {}, {});
    const auto off = ids.Add(graph, "off", {"in", "in2"}, {});
    graph.AssignNodeToExecutionSubgraphs(wide.id, otherSubgraph);
    graph.LinkPins(source.out[0], relay.in[0]);
    graph.LinkPins(relay.out[0], sink.in[0]);
    graph.LinkPins(source.out[1], sink.in[1]);
    graph.LinkPins(source.out[1], wide.in[0]);
    graph.LinkPins(wide.out[2], real.in[0]); // types differ
    graph.LinkPins(real.out[0], off.in[0]);  // types differ
    graph.GetNodes().at(off.id)->SetDisabled(true);
    graph.Traverse();
    graph.LinkPins(sink.in[2], off.in[1]); // from an input pin, which no traversal accepts
    graph.SetDirty(wide.id, true);

    ExpectGolden("flat-default.dot", Picture(graph));
    GraphvizOptions options;
    options.graphName = kAwkward + kNonAscii;
    options.subgraphNames[mainSubgraph] = kAwkward;
    options.subgraphNames[otherSubgraph] = kNonAscii;
    options.describeValue = [](const IDataValue& value) {
        if (const auto* number = dynamic_cast<const IntValue*>(&value)) {
            return "<" + std::to_string(number->Get()) + "> & \"\n" + kNonAscii;
        }
        return std::string("a double");
    };
    ExpectGolden("flat-options.dot", Picture(graph, options));
    ExpectGolden("empty.dot", Picture(Graph(mainSubgraph)));
}

// Outer: In --> U (ubernode) --> Out, and a second ubernode V holding the same inner graph as U.
// U's inner graph: X --> W (ubernode) --> Y, with a subgraph of its own; W's inner graph: Z.
TEST(DiagnosticsGoldenTest, GraphvizOfUbernodesNestedTwoDeep) {
    GoldenBuilder ids(2);
    auto innermost = std::make_shared<Graph>(ids.Next());
    const auto z = ids.Add(*innermost, "z", {"zin"}, {"zout"});
    const auto lone = ids.Add(*innermost, "lone", {}, {"lout"});
    auto inner = std::make_shared<Graph>(ids.Next());
    const GUID innerOther = ids.Next();
    const auto x = ids.Add(*inner, "x", {"xin"}, {"xout"});
    const GUID w = ids.Next();
    inner->CreateNode(std::make_shared<UbernodeNodeFunction>(
                          innermost, Schema{{z.in[0], typeid(IntValue)}},
                          Schema{{z.out[0], typeid(IntValue)}, {lone.out[0], typeid(IntValue)}},
                          "w <inner>", "innermost", w),
                      innerOther);
    const auto y = ids.Add(*inner, "y", {"yin", "yin2"}, {"yout"});
    inner->LinkPins(x.out[0], z.in[0]);
    inner->LinkPins(z.out[0], y.in[0]);
    inner->LinkPins(lone.out[0], y.in[1]);
    Graph graph(ids.Next());
    const auto in = ids.Add(graph, "in", {}, {"value"});
    const GUID u = ids.Next();
    graph.CreateNode(std::make_shared<UbernodeNodeFunction>(
                         inner, Schema{{x.in[0], typeid(IntValue)}},
                         Schema{{y.out[0], typeid(IntValue)}}, "u \xc3\xbc", "outer", u),
                     GetNullGUID());
    const auto out = ids.Add(graph, "out", {"value"}, {});
    graph.LinkPins(in.out[0], x.in[0]);
    graph.LinkPins(y.out[0], out.in[0]);
    graph.Traverse();

    ExpectGolden("nested.dot", Picture(graph));
}

// Names each id of a graph the test made by the order it was handed out.
class IdNames {
public:
    void Name(const GUID& id, const std::string& name) { names[id] = name; }

    std::string operator()(const GUID& id) const {
        const auto found = names.find(id);
        return found != names.end() ? found->second : GUIDToString(id);
    }

private:
    std::map<GUID, std::string> names;
};

std::string Describe(const Graph& graph, const IdNames& names) {
    std::ostringstream out;
    const GraphCycle cycle = FindCycle(graph);
    out << "FindCycle: " << cycle.nodes.size() << " nodes\n";
    for (std::size_t at = 0; at < cycle.nodes.size(); ++at) {
        out << "  " << names(cycle.nodes[at]) << " via " << names(cycle.links[at].first) << " -> "
            << names(cycle.links[at].second) << "\n";
    }
    const std::vector<GraphProblem> problems = CheckGraph(graph);
    out << "CheckGraph: " << problems.size() << " problems\n";
    for (const GraphProblem& problem : problems) {
        out << "  kind " << static_cast<int>(problem.kind) << ":";
        for (const GUID& id : problem.ids) {
            out << " " << names(id);
        }
        out << "\n    " << problem.message << "\n";
    }
    return out.str();
}

// `count` relays in a ring, each fed by the one before; the ids are handed out in ring order and
// spread, so the search starts somewhere inside the ring.
std::vector<GoldenBuilder::Made> AddRing(Graph& graph, GoldenBuilder& ids, IdNames& names,
                                         const std::string& prefix, int count) {
    std::vector<GoldenBuilder::Made> ring;
    for (int at = 0; at < count; ++at) {
        const std::string name = prefix + std::to_string(at);
        ring.push_back(ids.Add(graph, name, {"in"}, {"out"}));
        names.Name(ring.back().id, name);
        names.Name(ring.back().in[0], name + ".in");
        names.Name(ring.back().out[0], name + ".out");
    }
    for (int at = 0; at < count; ++at) {
        graph.LinkPins(ring[at].out[0], ring[(at + 1) % count].in[0]);
    }
    return ring;
}

TEST(DiagnosticsGoldenTest, CycleAndProblemsOfRings) {
    std::string text;
    for (const int count : {1, 2, 3, 40}) {
        GoldenBuilder ids(10 + count);
        IdNames names;
        Graph graph(ids.Next());
        AddRing(graph, ids, names, "r", count);
        text += "ring of " + std::to_string(count) + "\n" + Describe(graph, names) + "\n";
    }
    ExpectGolden("rings.txt", text);
}

// Three rings apart, two loops sharing one node (a figure eight), a node linked to itself, a chain
// fed by one ring and another, and every other kind of problem besides.
TEST(DiagnosticsGoldenTest, CycleAndProblemsOfAGraphWithSeveralCycles) {
    GoldenBuilder ids(3);
    IdNames names;
    const GUID subgraph = ids.Next();
    Graph graph(subgraph);
    AddRing(graph, ids, names, "a", 5);
    const auto b = AddRing(graph, ids, names, "b", 3);
    const auto c = AddRing(graph, ids, names, "c", 4);
    std::map<std::string, GoldenBuilder::Made> nodes;
    auto add = [&](const std::string& name, std::vector<std::string> inputs,
                   std::vector<std::string> outputs, const std::type_info& type) {
        const auto made = ids.Add(graph, name, inputs, outputs, type);
        names.Name(made.id, name);
        for (std::size_t pin = 0; pin < made.in.size(); ++pin) {
            names.Name(made.in[pin], name + "." + inputs[pin]);
        }
        for (std::size_t pin = 0; pin < made.out.size(); ++pin) {
            names.Name(made.out[pin], name + "." + outputs[pin]);
        }
        return nodes[name] = made;
    };
    // hub -> p0 -> p1 -> hub and hub -> q0 -> hub.
    const auto hub = add("hub", {"in", "in2"}, {"out"}, typeid(IntValue));
    const auto p0 = add("p0", {"in"}, {"out"}, typeid(IntValue));
    const auto p1 = add("p1", {"in"}, {"out"}, typeid(IntValue));
    const auto q0 = add("q0", {"in"}, {"out"}, typeid(IntValue));
    const auto self = add("self", {"in"}, {"out"}, typeid(IntValue));
    const auto head = add("head", {"in"}, {"out"}, typeid(IntValue));
    const auto tail = add("tail", {"in", "in2"}, {}, typeid(IntValue));
    const auto typed = add("typed", {"in"}, {}, typeid(DoubleValue));
    add("lonely", {}, {}, typeid(IntValue));
    graph.LinkPins(hub.out[0], p0.in[0]);
    graph.LinkPins(p0.out[0], p1.in[0]);
    graph.LinkPins(p1.out[0], hub.in[0]);
    graph.LinkPins(hub.out[0], q0.in[0]);
    graph.LinkPins(q0.out[0], hub.in[1]);
    graph.LinkPins(self.out[0], self.in[0]);
    graph.LinkPins(b[0].out[0], head.in[0]);
    graph.LinkPins(head.out[0], tail.in[0]);
    graph.LinkPins(c[1].out[0], tail.in[1]);
    graph.LinkPins(c[3].out[0], typed.in[0]); // types differ
    graph.LinkPins(tail.in[0], b[1].out[0]);  // from an input pin to an output pin
    const GUID ghost = ids.Next();
    names.Name(ghost, "ghost");
    names.Name(subgraph, "subgraph");
    graph.AssignNodeToExecutionSubgraphs(ghost, subgraph);

    std::string text = Describe(graph, names);
    // Breaking one cycle at a time moves FindCycle on to the next.
    graph.UnlinkPins(self.out[0], self.in[0]);
    text += "\nwithout self's loop\n" + Describe(graph, names);
    graph.UnlinkPins(c[0].out[0], c[1].in[0]);
    text += "\nwithout c's ring\n" + Describe(graph, names);
    graph.UnlinkPins(p1.out[0], hub.in[0]);
    graph.UnlinkPins(q0.out[0], hub.in[1]);
    text += "\nwithout the figure eight\n" + Describe(graph, names);
    graph.DestroyNode(ghost);
    ExpectGolden("cycles.txt", text);
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    }
    return hash;
}

// Thousands of nodes linked at random (cycles, fan-in and fan-out, some links between types that
// differ), filed at random under subgraphs, some disabled: too long a text to keep, so the golden
// file keeps each output's length and hash.
TEST(DiagnosticsGoldenTest, OutputsOfALargeRandomGraph) {
    GoldenBuilder ids(4);
    std::mt19937_64 random(20261208);
    std::vector<GUID> subgraphs;
    for (int made = 0; made < 5; ++made) {
        subgraphs.push_back(ids.Next());
    }
    Graph graph(subgraphs[0]);
    std::vector<GoldenBuilder::Made> nodes;
    for (int made = 0; made < 3000; ++made) {
        const std::size_t inputs = random() % 4;
        const std::size_t outputs = random() % 3;
        const bool real = random() % 16 == 0;
        nodes.push_back(ids.Add(
            graph, "n" + std::to_string(made), std::vector<std::string>(inputs, "in"),
            std::vector<std::string>(outputs, "out"), real ? typeid(DoubleValue) : typeid(IntValue),
            random() % 3 == 0 ? subgraphs[random() % subgraphs.size()] : GetNullGUID()));
        if (random() % 8 == 0) {
            graph.AssignNodeToExecutionSubgraphs(nodes.back().id,
                                                 subgraphs[random() % subgraphs.size()]);
        }
    }
    for (std::size_t to = 0; to < nodes.size(); ++to) {
        for (const GUID& input : nodes[to].in) {
            // Mostly from an earlier node, now and then from any: a few long cycles.
            const std::size_t span =
                random() % 64 == 0 ? nodes.size() : std::max<std::size_t>(to, 1);
            const auto& from = nodes[(to + nodes.size() - 1 - random() % span) % nodes.size()];
            if (!from.out.empty() && random() % 5 != 0) {
                graph.LinkPins(from.out[random() % from.out.size()], input);
            }
        }
    }
    const auto byId = graph.GetNodes();
    for (const auto& node : nodes) {
        if (random() % 50 == 0) {
            byId.at(node.id)->SetDisabled(true);
        }
    }
    std::ostringstream text;
    for (const auto& [what, output] :
         {std::pair("WriteGraphviz", Picture(graph)), std::pair("Diagnose", Describe(graph, {}))}) {
        text << what << ": " << output.size() << " bytes, fnv1a " << std::hex << Fnv1a(output)
             << std::dec << "\n";
    }
    ExpectGolden("large.txt", text.str());
}

// Ids that share their leading bytes (a host's own numbering scheme) still come out in id order:
// the nodes' tables, and the cycle, which starts at the smallest id of the ring.
TEST(DiagnosticsGoldenTest, IdsSharingTheirLeadingBytesComeOutInIdOrder) {
    Graph graph(FixedId(1));
    std::vector<GUID> ids;
    std::vector<GoldenBuilder::Made> ring;
    std::mt19937_64 random(5);
    for (int made = 0; made < 300; ++made) {
        GUID id = FixedId(7);
        id.data[12] = static_cast<std::uint8_t>(random());
        id.data[13] = static_cast<std::uint8_t>(random());
        id.data[15] = static_cast<std::uint8_t>(made);
        id.data[14] = static_cast<std::uint8_t>(made >> 8);
        ids.push_back(id);
        GoldenBuilder pins(1000 + static_cast<std::uint64_t>(made));
        const GUID in = pins.Next();
        const GUID out = pins.Next();
        graph.CreateNode(std::make_shared<FixedFunction>(
                             id, "n", std::vector<PinSpec>{{in, "in", &typeid(IntValue)}},
                             std::vector<PinSpec>{{out, "out", &typeid(IntValue)}}),
                         GetNullGUID());
        ring.push_back({id, {in}, {out}});
    }
    for (std::size_t at = 0; at < ring.size(); ++at) {
        graph.LinkPins(ring[at].out[0], ring[(at + 1) % ring.size()].in[0]);
    }

    const std::string picture = Picture(graph);
    std::sort(ids.begin(), ids.end());
    std::size_t last = 0;
    for (const GUID& id : ids) {
        std::string hex = GUIDToString(id);
        hex.erase(std::remove(hex.begin(), hex.end(), '-'), hex.end());
        const std::size_t at = picture.find("g0_n" + hex + " [");
        ASSERT_NE(at, std::string::npos);
        EXPECT_GT(at, last);
        last = at;
    }
    const GraphCycle cycle = FindCycle(graph);
    ASSERT_EQ(cycle.nodes.size(), ring.size());
    EXPECT_EQ(cycle.nodes[0], ids[0]);
}

} // namespace
} // namespace datagraph::test
