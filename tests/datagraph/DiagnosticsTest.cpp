#include <datagraph/Diagnostics.h>
#include <datagraph/Graph.h>
#include <datagraph/UbernodeNodeFunction.h>

#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace datagraph::test {
namespace {

class DiagnosticsTest : public ::testing::Test {
protected:
    IntNode Add(IntNode node, const std::string& name = "stub") {
        node.function->SetName(name);
        graph.CreateNode(node.function, GetNullGUID());
        return node;
    }

    /// A ring of `count` relays, each linked to the next and the last back to the first; the
    /// first has a second input, `ringFeed`, for a node outside the ring.
    std::vector<IntNode> AddRing(int count) {
        std::vector<IntNode> ring;
        for (int i = 0; i < count; ++i) {
            IntNode node = Increment();
            if (i == 0) {
                ringFeed = node.function->AddInput(typeid(IntValue));
            }
            ring.push_back(Add(node));
        }
        for (int i = 0; i < count; ++i) {
            graph.LinkPins(ring[i].out, ring[(i + 1) % count].in);
        }
        return ring;
    }

    static std::string Port(const GUID& pinId) {
        std::string hex = GUIDToString(pinId);
        hex.erase(std::remove(hex.begin(), hex.end(), '-'), hex.end());
        return "PORT=\"p" + hex + "\"";
    }

    GUID ringFeed;
    Graph graph{CreateGUID()};
};

TEST_F(DiagnosticsTest, FindsCyclesOfOneTwoAndManyNodesInLinkOrderAndNoneInAChain) {
    for (const int size : {1, 2, 7}) {
        SCOPED_TRACE(size);
        graph.Clear();
        // An acyclic head feeding the ring and a tail hanging off it must not enter the cycle.
        std::vector<IntNode> ring = AddRing(size);
        graph.LinkPins(Add(CountingSource()).out, ringFeed);
        graph.LinkPins(ring.back().out, Add(Sink()).in);

        const GraphCycle cycle = FindCycle(graph);

        ASSERT_EQ(cycle.nodes.size(), static_cast<std::size_t>(size));
        ASSERT_EQ(cycle.links.size(), static_cast<std::size_t>(size));
        const auto start = std::find_if(ring.begin(), ring.end(), [&](const IntNode& node) {
            return node.Id() == cycle.nodes[0];
        });
        ASSERT_NE(start, ring.end());
        std::rotate(ring.begin(), start, ring.end());
        for (int i = 0; i < size; ++i) {
            EXPECT_EQ(cycle.nodes[i], ring[i].Id());
            EXPECT_EQ(cycle.links[i], std::make_pair(ring[i].out, ring[(i + 1) % size].in));
        }
    }
    graph.Clear();
    graph.LinkPins(Add(CountingSource()).out, Add(Sink()).in);
    EXPECT_TRUE(FindCycle(graph).nodes.empty());
    EXPECT_TRUE(CheckGraph(graph).empty());
}

// ring: R1 <--> R2    wrong sides: W1.in --> W2.in, W2.out --> W3.out    types: I.out --> T.text
// lonely: L           subgraph S lists an id that is no node
TEST_F(DiagnosticsTest, CheckListsEveryProblemByKindWithoutThrowingOrChangingTheGraph) {
    AddRing(2);
    const IntNode w1 = Add(Sink());
    const IntNode w2 = Add(Increment());
    const IntNode w3 = Add(CountingSource());
    graph.LinkPins(w1.in, w2.in);
    graph.LinkPins(w2.out, w3.out);
    const IntNode i = Add(CountingSource(), "count");
    IntNode t;
    t.in = t.function->AddInput(typeid(DoubleValue));
    Add(t, "print");
    graph.LinkPins(i.out, t.in);
    Add(Sink(), "lonely");
    const GUID subgraph = CreateGUID();
    const GUID ghost = CreateGUID();
    graph.AssignNodeToExecutionSubgraphs(ghost, subgraph);
    const GraphSnapshot before = GraphSnapshot(graph);

    const std::vector<GraphProblem> problems = CheckGraph(graph);

    EXPECT_EQ(GraphSnapshot(graph), before);
    std::vector<GraphProblemKind> kinds;
    for (const GraphProblem& problem : problems) {
        kinds.push_back(problem.kind);
    }
    // W3's only link ends on its output pin, which NodeIsUnconnected does not count: a traversal
    // never runs it.
    EXPECT_EQ(kinds,
              (std::vector<GraphProblemKind>{
                  GraphProblemKind::Cycle, GraphProblemKind::LinkEndOnWrongSide,
                  GraphProblemKind::LinkEndOnWrongSide, GraphProblemKind::LinkedPinTypesDiffer,
                  GraphProblemKind::NodeNeverRuns, GraphProblemKind::NodeNeverRuns,
                  GraphProblemKind::SubgraphEntryNamesNoNode}));
    ASSERT_EQ(problems.size(), kinds.size());
    EXPECT_EQ(problems[3].ids, (IdentifierList{i.out, t.in}));
    EXPECT_EQ(problems[3].message,
              "The link \"count\".pin " + GUIDToString(i.out) + " -> \"print\".pin " +
                  GUIDToString(t.in) +
                  " joins a pin of type datagraph::test::BasicValue<int, datagraph::test::IntTag> "
                  "to one of type datagraph::test::BasicValue<double, datagraph::test::DoubleTag>"
                  ": moving a value along it fails with \"Data value has incorrect type\", and the "
                  "upstream node's step is logged and skipped");
    const bool lonelyListed = std::any_of(problems.begin(), problems.end(), [&](const auto& p) {
        return p.message == "The node \"lonely\" has no link, so no traversal runs it";
    });
    EXPECT_TRUE(lonelyListed);
    EXPECT_EQ(problems.back().ids, (IdentifierList{subgraph, ghost}));
    graph.DestroyNode(ghost); // lets the fixture's graph clear itself
}

// Graphviz's own parser reads the picture back; anything it warns about counts as a fault.
class GraphvizTest : public DiagnosticsTest {
protected:
    void SetUp() override {
        if (std::system("command -v dot >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "Graphviz's dot is not installed";
        }
    }

    /// `dot -Tplain` of the picture: "node ..." and "edge ..." lines. Fails on any warning.
    std::string Parsed(const GraphvizOptions& options = GraphvizOptions()) {
        // Named for the test and the process: several test runs may share the temporary folder.
        const std::string base = ::testing::TempDir() +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                 "-" + std::to_string(::getpid());
        std::ofstream(base + ".dot") << Picture(options);
        std::remove((base + ".plain").c_str());
        const std::string command =
            "dot -Tplain -o " + base + ".plain " + base + ".dot 2>" + base + ".err";
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(Read(base + ".err"), "");
        return Read(base + ".plain");
    }

    std::string Picture(const GraphvizOptions& options = GraphvizOptions()) {
        std::ostringstream out;
        WriteGraphviz(graph, out, options);
        return out.str();
    }

    static std::string Read(const std::string& path) {
        std::ostringstream content;
        content << std::ifstream(path).rdbuf();
        return content.str();
    }

    static int Count(const std::string& text, const std::string& what) {
        int count = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++count;
        }
        return count;
    }
};

// A --> B, names and values full of characters DOT and HTML-like labels treat specially.
TEST_F(GraphvizTest, EscapesNamesAndValuesSoThatGraphvizReadsThePictureBack) {
    const std::string awkward = "say \"hi\" \\ <b> & </TD> ]; } \n\tnext line";
    const IntNode a = Add(CountingSource(), awkward);
    const IntNode b = Add(Sink(), awkward);
    graph.LinkPins(a.out, b.in);
    graph.Traverse();
    GraphvizOptions options;
    options.graphName = awkward;
    options.subgraphNames[graph.GetDefaultExecutionSubgraphID()] = awkward;
    options.describeValue = [&](const IDataValue&) { return awkward; };

    const std::string plain = Parsed(options);

    EXPECT_EQ(Count(plain, "\nnode "), 2);
    EXPECT_EQ(Count(plain, "\nedge "), 1);
}

// Outer: S --> U(ubernode) --> K      Inner: X --> Y, X's input and Y's output are U's pins.
TEST_F(GraphvizTest, NestsAnUbernodesInnerGraphAndMarksUpdatedPins) {
    auto inner = std::make_shared<Graph>(CreateGUID());
    const IntNode x = Increment();
    const IntNode y = Increment();
    inner->CreateNode(x.function, GetNullGUID());
    inner->CreateNode(y.function, GetNullGUID());
    inner->LinkPins(x.out, y.in);
    auto ubernode = std::make_shared<UbernodeNodeFunction>(inner, Schema{{x.in, typeid(IntValue)}},
                                                           Schema{{y.out, typeid(IntValue)}},
                                                           "block", "a block", CreateGUID());
    const IntNode s = Add(CountingSource());
    graph.CreateNode(ubernode, GetNullGUID());
    const IntNode k = Add(Sink());
    graph.LinkPins(s.out, x.in);
    graph.LinkPins(y.out, k.in);
    const std::string marked = Port(k.in) + " ALIGN=\"LEFT\" BGCOLOR";
    EXPECT_EQ(Picture().find(marked), std::string::npos);

    graph.Traverse();

    // Five tables; two outer links, one inner link and the two dashed pin mappings.
    const std::string plain = Parsed();
    EXPECT_EQ(Count(plain, "\nnode "), 5);
    EXPECT_EQ(Count(plain, "\nedge "), 5);
    const std::string picture = Picture();
    // The outer subgraph, the ubernode, its inner graph and the inner graph's subgraph.
    EXPECT_EQ(Count(picture, "subgraph cluster_"), 4);
    EXPECT_NE(picture.find(marked), std::string::npos);
}

// A host's text that throws, in the outer graph or in an ubernode's inner graph drawn midway:
// the exception passes through as thrown and the next picture is the one drawn before.
TEST_F(GraphvizTest, AHostTextThatThrowsLeavesNoTraceOnTheNextPicture) {
    auto inner = std::make_shared<Graph>(CreateGUID());
    const IntNode x = Increment();
    inner->CreateNode(x.function, GetNullGUID());
    inner->PutDataOnPin(x.in, std::make_shared<const IntValue>(1));
    graph.CreateNode(std::make_shared<UbernodeNodeFunction>(inner, Schema{}, Schema{}, "block", "",
                                                            CreateGUID()),
                     GetNullGUID());
    const IntNode s = Add(CountingSource());
    const IntNode k = Add(Sink());
    graph.LinkPins(s.out, k.in);
    graph.Traverse();
    GraphvizOptions options;
    int calls = 0;
    int throwAt = 0;
    options.describeValue = [&](const IDataValue&) -> std::string {
        if (++calls == throwAt) {
            throw std::runtime_error("host text " + std::to_string(calls));
        }
        return "v";
    };
    const std::string before = Picture(options);
    const int texts = calls;
    ASSERT_EQ(texts, 3); // the sink's input, the source's output and the inner node's input
    for (throwAt = 1; throwAt <= texts; ++throwAt) {
        calls = 0;
        std::ostringstream out;
        try {
            WriteGraphviz(graph, out, options);
            ADD_FAILURE() << "no exception at text " << throwAt;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "host text " + std::to_string(throwAt));
        }
        const int thrownAt = throwAt;
        throwAt = 0;
        calls = 0;
        EXPECT_EQ(Picture(options), before) << "after a throw at text " << thrownAt;
        throwAt = thrownAt;
    }
}

// Graphs nested `depth` deep: each holds one ubernode whose inner graph is the next, the innermost
// holds one node. The test keeps every graph, so that none is destroyed from inside another.
std::vector<std::shared_ptr<Graph>> NestedGraphs(int depth) {
    std::vector<std::shared_ptr<Graph>> graphs(static_cast<std::size_t>(depth) + 1);
    graphs.back() = std::make_shared<Graph>(CreateGUID());
    graphs.back()->CreateNode(Increment().function, GetNullGUID());
    for (int level = depth - 1; level >= 0; --level) {
        auto graph = std::make_shared<Graph>(CreateGUID());
        graph->CreateNode(std::make_shared<UbernodeNodeFunction>(
                              graphs[level + 1], Schema{}, Schema{}, "level", "", CreateGUID()),
                          GetNullGUID());
        graphs[level] = graph;
    }
    return graphs;
}

std::size_t PictureSize(int depth) {
    std::vector<std::shared_ptr<Graph>> graphs = NestedGraphs(depth);
    std::ostringstream out;
    WriteGraphviz(*graphs.front(), out);
    for (std::shared_ptr<Graph>& graph : graphs) {
        graph.reset(); // outermost first, so that no destructor runs another
    }
    return out.str().size();
}

// Far deeper than the call stack could follow, and each level adds the same text.
TEST(DeepNestingTest, DiagnosticsDrawAndCheckUbernodesNestedTwentyThousandDeep) {
    const int depth = 20000;
    std::vector<std::shared_ptr<Graph>> graphs = NestedGraphs(depth);
    std::ostringstream out;
    WriteGraphviz(*graphs.front(), out);
    const std::string picture = out.str();
    EXPECT_TRUE(FindCycle(*graphs.front()).nodes.empty());
    EXPECT_EQ(CheckGraph(*graphs.front()).size(), 1u); // the outer ubernode has no link
    for (std::shared_ptr<Graph>& graph : graphs) {
        graph.reset();
    }

    std::size_t clusters = 0;
    for (auto at = picture.find("subgraph cluster_"); at != std::string::npos;
         at = picture.find("subgraph cluster_", at + 1)) {
        ++clusters;
    }
    // Per level: the ubernode, its inner graph and the inner graph's subgraph; and the outer
    // graph's subgraph.
    EXPECT_EQ(clusters, 3u * depth + 1);
    const std::size_t shallow = PictureSize(100);
    const double perLevel = static_cast<double>(shallow - PictureSize(50)) / 50;
    EXPECT_LT(static_cast<double>(picture.size()), shallow + 1.05 * perLevel * (depth - 100));
}

} // namespace
} // namespace datagraph::test
