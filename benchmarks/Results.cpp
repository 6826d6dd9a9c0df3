#include "Results.h"

#include "Shapes.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <ostream>
#include <tuple>
#include <utility>
#include <vector>

namespace bench {

namespace {

struct GraphInfo {
    std::string name;
    std::size_t nodes;
    std::size_t edges;
    std::size_t pins;
    /// The nodes a full traversal executes: those with a link.
    std::size_t linked;
};

std::vector<GraphInfo> graphs;
std::vector<GraphInfo> fixedCostGraphs;
std::vector<std::pair<GraphInfo, GraphInfo>> diagnosticsSizes; // chain and ring
std::map<std::tuple<std::string, std::string, std::string>, std::vector<double>> figures;

std::optional<double> Median(const std::string& graph, const std::string& system,
                             const std::string& what) {
    auto found = figures.find({graph, system, what});
    if (found == figures.end() || found->second.empty()) {
        return std::nullopt;
    }
    std::vector<double> values = found->second;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string Format(std::optional<double> value, const char* format = "%.1f") {
    if (!value) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

std::optional<double> Ratio(std::optional<double> numerator, std::optional<double> denominator) {
    if (!numerator || !denominator || *denominator <= 0) {
        return std::nullopt;
    }
    return *numerator / *denominator;
}

std::optional<double> Scaled(std::optional<double> value, double factor) {
    return value ? std::optional<double>(*value * factor) : std::nullopt;
}

struct Target {
    std::string text;
    std::optional<double> ratio;
    double limit;
};

// Met, missed or not measured; counts towards `met` or `missed`.
std::string Verdict(const Target& target, int& met, int& missed) {
    if (!target.ratio) {
        return "-";
    }
    const bool ok = *target.ratio <= target.limit;
    ++(ok ? met : missed);
    return ok ? "yes" : "NO";
}

// Calls that execute no node or one must cost no more than this, whatever the graph.
constexpr double fixedCostLimitNs = 2000;
// From this size on a call that executes at most one node is held to a share of a full Traverse.
constexpr std::size_t largeGraph = 100000;
constexpr double shareOfTraverse = 1e-4;
// A larger chain's fixed cost against the first chain's.
constexpr double fixedCostGrowth = 1.5;
// A diagnostic against a traversal of the same graph, and its cost per node on a larger graph
// against that on the first: time linear in the graph's size.
constexpr double diagnosticsOfTraverse = 10;
constexpr double diagnosticsGrowth = 2;

class TablePrinter {
public:
    TablePrinter(std::ostream& out, const GraphInfo& graph)
        : out(out)
        , graph(graph) {}

    void Print() {
        PrintHeader();
        const auto ourBuild = Get(systems::ours, measures::build);
        Row(measures::build, "ns/node",
            {"<= 2x baseline build", OursOverBaseline(measures::build), 2});
        SchemaCallsRow();
        Row(measures::buildObserved, "ns/node",
            {"<= 1.2x our build", Ratio(Get(systems::ours, measures::buildObserved), ourBuild),
             1.2});
        Row(measures::buildHistory, "ns/node",
            {"<= 1.3x our build", Ratio(Get(systems::ours, measures::buildHistory), ourBuild),
             1.3});
        ReportRow(measures::buildHistorySteps, "ns/node", "report (/ our build)",
                  Ratio(Get(systems::ours, measures::buildHistorySteps), ourBuild));
        Row(measures::traverse, "ns/node",
            {"<= 2x baseline", OursOverBaseline(measures::traverse), 2});
        HelpersRow();
        TraverseAfterEditRow();
        OrderRow();
        Row(measures::copy, "ns/node",
            {"<= 1.5x our build", Ratio(Get(systems::ours, measures::copy), ourBuild), 1.5});
        for (const char* what : {measures::clear, measures::destructor, measures::destroyEach}) {
            Row(what, "ns/node", {"<= 1x our build", Ratio(Get(systems::ours, what), ourBuild), 1});
        }
        DeletionRows();
        MemoryRows();
        HostCostRows();
        ChangedRows();
    }

    int met = 0;
    int missed = 0;

private:
    std::optional<double> Get(const char* system, const char* what) const {
        return Median(graph.name, system, what);
    }

    std::optional<double> OursOverBaseline(const char* what) const {
        return Ratio(Get(systems::ours, what), Get(systems::baseline, what));
    }

    void PrintHeader() {
        out << "\n"
            << graph.name << ": " << graph.nodes << " nodes, " << graph.edges << " edges, "
            << graph.pins << " pins (median of the repetitions)\n";
        Line("measure", "unit", "ours", "baseline", "ours/base", "tbb", "bgl", "target", "ratio",
             "met");
    }

    void Line(const std::string& what, const std::string& unit, const std::string& ours,
              const std::string& baseline, const std::string& ratio, const std::string& tbb,
              const std::string& bgl, const std::string& target, const std::string& targetRatio,
              const std::string& verdict) {
        char text[256];
        std::snprintf(text, sizeof text, "  %-17s %-9s %10s %10s %9s %10s %10s  %-27s %6s  %s\n",
                      what.c_str(), unit.c_str(), ours.c_str(), baseline.c_str(), ratio.c_str(),
                      tbb.c_str(), bgl.c_str(), target.c_str(), targetRatio.c_str(),
                      verdict.c_str());
        out << text;
    }

    std::string Verdict(const Target& target) { return bench::Verdict(target, met, missed); }

    void Row(const char* what, const char* unit, const Target& target) {
        Line(what, unit, Format(Get(systems::ours, what)), Format(Get(systems::baseline, what)),
             Format(OursOverBaseline(what), "%.2fx"), Format(Get(systems::tbb, what)),
             Format(Get(systems::bgl, what)), target.text, Format(target.ratio, "%.2fx"),
             Verdict(target));
    }

    // The host's share of our build, against the whole of the baseline's build: how far below the
    // baseline our own part of the build would have to go for the build target to be met. The
    // baseline makes no such calls, so its column stays empty.
    void SchemaCallsRow() {
        const auto ours = Get(systems::ours, measures::schemaCalls);
        Line(measures::schemaCalls, "ns/node", Format(ours), "-",
             Format(Ratio(ours, Get(systems::baseline, measures::build)), "%.2fx"), "-", "-",
             "report", "-", "-");
    }

    // The same graph and Traverse with node functions made by MakeFunctionNode, against ours.
    void HelpersRow() {
        const auto helpers = Get(systems::helpers, measures::traverse);
        const Target target{"<= 1.1x our traverse",
                            Ratio(helpers, Get(systems::ours, measures::traverse)), 1.1};
        Line("TraverseHelpers", "ns/node", Format(helpers), "-", "-", "-", "-", target.text,
             Format(target.ratio, "%.2fx"), Verdict(target));
    }

    // The baseline orders its nodes afresh on every run, so its plain run is its run after an edit.
    void TraverseAfterEditRow() {
        const auto ours = Get(systems::ours, measures::traverseAfterEdit);
        const auto baseline = Get(systems::baseline, measures::traverse);
        Line(measures::traverseAfterEdit, "ns/node", Format(ours), Format(baseline),
             Format(Ratio(ours, baseline), "%.2fx"), "-", "-", "report", "-", "-");
    }

    // Boost.Graph's figure is per node plus edge; so are ours here, to compare like with like.
    void OrderRow() {
        const double perElement =
            static_cast<double>(graph.nodes) / static_cast<double>(graph.nodes + graph.edges);
        auto scaled = [perElement](std::optional<double> value) -> std::optional<double> {
            return value ? std::optional<double>(*value * perElement) : std::nullopt;
        };
        const auto ours = scaled(Get(systems::ours, measures::order));
        const auto bgl = scaled(Get(systems::bgl, measures::order));
        const Target target{"<= 3x bgl", Ratio(ours, bgl), 3};
        Line(measures::order, "ns/(n+e)", Format(ours, "%.2f"),
             Format(scaled(Get(systems::baseline, measures::order)), "%.2f"),
             Format(OursOverBaseline(measures::order), "%.2fx"), "-", Format(bgl, "%.2f"),
             target.text, Format(target.ratio, "%.2fx"), Verdict(target));
    }

    // Per node deleted, each against the deletion with a history; only on graphs large enough
    // for it.
    void DeletionRows() {
        const auto deletion = Get(systems::ours, measures::delete1000);
        if (!deletion) {
            return;
        }
        for (const char* what : {measures::delete1000, measures::undoDelete, measures::redoDelete,
                                 measures::delete1000NoHistory}) {
            const bool isDeletion = what == measures::delete1000;
            ReportRow(what, "ns/del", isDeletion ? "report" : "report (/ Delete1000)",
                      isDeletion ? std::nullopt : Ratio(Get(systems::ours, what), deletion));
        }
    }

    // Ours only, with a ratio shown that counts towards no target.
    void ReportRow(const char* what, const char* unit, const char* text,
                   std::optional<double> ratio) {
        Line(what, unit, Format(Get(systems::ours, what)), "-", "-", "-", "-", text,
             Format(ratio, "%.2fx"), "-");
    }

    // Normalised to the layered shape's 3 pins and 2 links per node: bytes per node, pin and
    // link together, times the 6 such items a layered node brings.
    void MemoryRows() {
        Line(measures::memory, "B/node", Format(Get(systems::ours, measures::memory), "%.0f"),
             Format(Get(systems::baseline, measures::memory), "%.0f"),
             Format(OursOverBaseline(measures::memory), "%.2fx"),
             Format(Get(systems::tbb, measures::memory), "%.0f"),
             Format(Get(systems::bgl, measures::memory), "%.0f"), "report", "-", "-");
        // Ours only: the other systems have no host code of their own to set apart.
        for (const char* what : {measures::memoryLibrary, measures::memoryHost}) {
            Line(what, "B/node", Format(Get(systems::ours, what), "%.0f"), "-", "-", "-", "-",
                 "report", "-", "-");
        }
        const double items = static_cast<double>(graph.nodes + graph.pins + graph.edges);
        const double scale = 6.0 * static_cast<double>(graph.nodes) / items;
        auto normalised = [scale](std::optional<double> value) -> std::optional<double> {
            return value ? std::optional<double>(*value * scale) : std::nullopt;
        };
        const auto ours = normalised(Get(systems::ours, measures::memory));
        const Target target{"<= 1536 B (aim)", Ratio(ours, 1536.0), 1};
        Line("Memory@3p2l", "B/node", Format(ours, "%.0f"),
             Format(normalised(Get(systems::baseline, measures::memory)), "%.0f"), "-", "-", "-",
             target.text, Format(target.ratio, "%.2fx"), Verdict(target));
    }

    // The build with every id made in the timed part, ours by CreateGUID and the baseline's by a
    // generator it keeps per thread; the ids alone, per id; and the diagnostics, against a
    // traversal of the same graph.
    void HostCostRows() {
        Row(measures::buildWithIds, "ns/node",
            {"<= 2x baseline build", OursOverBaseline(measures::buildWithIds), 2});
        const auto ids = Get(systems::ours, measures::createIds);
        const Target idTarget{"<= 100 ns per id", Ratio(ids, 100.0), 1};
        Line(measures::createIds, "ns/id", Format(ids),
             Format(Get(systems::baseline, measures::createIds)),
             Format(OursOverBaseline(measures::createIds), "%.2fx"), "-", "-", idTarget.text,
             Format(idTarget.ratio, "%.2fx"), Verdict(idTarget));
        const auto traverse = Get(systems::ours, measures::traverse);
        for (const char* what :
             {measures::findCycle, measures::checkGraph, measures::writeGraphviz}) {
            const Target target{"<= 10x our traverse", Ratio(Get(systems::ours, what), traverse),
                                diagnosticsOfTraverse};
            Line(what, "ns/node", Format(Get(systems::ours, what)), "-", "-", "-", "-", target.text,
                 Format(target.ratio, "%.2fx"), Verdict(target));
        }
    }

    // TraverseChanged per call, against a whole Traverse of ours and a whole run of oneTBB's flow
    // graph, each as the time of one call; the columns are named again for these rows. A call
    // that executes no node or one is held to a fixed cost, one that executes a cone to the cost
    // per node of a whole Traverse.
    void ChangedRows() {
        Line("after an edit", "unit", "changed", "Traverse", "chg/trav", "tbb", "runs/call",
             "target", "ratio", "met");
        ChangedCallRows(measures::changedNoEdit, true);
        ChangedCallRows(measures::changedSink, true);
        ChangedPerRunRow(measures::changedSink, false);
        ChangedCallRows(measures::changedSource, false);
        ChangedPerRunRow(measures::changedSource, true);
    }

    std::optional<double> TraverseCall(const char* system) const {
        return Scaled(Get(system, measures::traverse), static_cast<double>(graph.nodes));
    }

    void ChangedCallRows(const char* what, bool fixedCost) {
        const auto call = Get(systems::ours, what);
        const auto traverseCall = TraverseCall(systems::ours);
        const auto tbbCall = TraverseCall(systems::tbb);
        const Target target = fixedCost
                                  ? Target{"< 2 us per call", Ratio(call, fixedCostLimitNs), 1}
                                  : Target{"report", std::nullopt, 0};
        Line(what, "us/call", Format(Scaled(call, 1e-3), "%.2f"),
             Format(Scaled(traverseCall, 1e-3)), Format(Ratio(call, traverseCall), "%.1e"),
             Format(Scaled(tbbCall, 1e-3)), Format(Runs(what), "%.0f"), target.text,
             Format(target.ratio, "%.2fx"), Verdict(target));
        if (fixedCost && graph.nodes >= largeGraph) {
            const Target share{"< 1/10000 of a Traverse",
                               Scaled(Ratio(call, traverseCall), 1 / shareOfTraverse), 1};
            Line(what, "of Trav", Format(Ratio(call, traverseCall), "%.1e"), "-", "-",
                 Format(Ratio(call, tbbCall), "%.1e"), "-", share.text,
                 Format(share.ratio, "%.2fx"), Verdict(share));
        }
    }

    // Per node executed: a whole Traverse executes the linked nodes, oneTBB's run every node.
    void ChangedPerRunRow(const char* what, bool held) {
        const auto perRun = Ratio(Get(systems::ours, what), Runs(what));
        const auto traversePerRun = Ratio(TraverseCall(systems::ours),
                                          std::optional<double>(static_cast<double>(graph.linked)));
        const Target target =
            held ? Target{"<= 1.2x Traverse per run", Ratio(perRun, traversePerRun), 1.2}
                 : Target{"report", std::nullopt, 0};
        Line(what, "ns/run", Format(perRun), Format(traversePerRun),
             Format(Ratio(perRun, traversePerRun), "%.2fx"),
             Format(Get(systems::tbb, measures::traverse)), "-", target.text,
             Format(target.ratio, "%.2fx"), Verdict(target));
    }

    std::optional<double> Runs(const char* what) const {
        return Get(systems::ours, (std::string(what) + "Runs").c_str());
    }

    std::ostream& out;
    const GraphInfo& graph;
};

// The calls that execute no node or one, on graphs of growing size, each against the first.
void PrintFixedCost(std::ostream& out, int& met, int& missed) {
    if (fixedCostGraphs.empty()) {
        return;
    }
    const GraphInfo& first = fixedCostGraphs.front();
    out << "\nFixed cost of TraverseChanged against graph size (median of the repetitions)\n";
    auto line = [&out](const std::string& graph, const std::string& nodes, const std::string& what,
                       const std::string& call, const std::string& runs, const std::string& target,
                       const std::string& ratio, const std::string& verdict) {
        char text[256];
        std::snprintf(text, sizeof text, "  %-12s %9s  %-17s %10s %9s  %-27s %6s  %s\n",
                      graph.c_str(), nodes.c_str(), what.c_str(), call.c_str(), runs.c_str(),
                      target.c_str(), ratio.c_str(), verdict.c_str());
        out << text;
    };
    line("graph", "nodes", "measure", "us/call", "runs/call", "target", "ratio", "met");
    for (const GraphInfo& graph : fixedCostGraphs) {
        for (const char* what : {measures::changedNoEdit, measures::changedSink}) {
            const auto call = Median(graph.name, systems::ours, what);
            const auto runs = Median(graph.name, systems::ours, std::string(what) + "Runs");
            const bool isFirst = &graph == &first;
            const Target target{
                isFirst ? std::string("held to by the others") : "<= 1.5x " + first.name + "'s",
                isFirst ? std::nullopt : Ratio(call, Median(first.name, systems::ours, what)),
                fixedCostGrowth};
            line(graph.name, std::to_string(graph.nodes), what, Format(Scaled(call, 1e-3), "%.2f"),
                 Format(runs, "%.0f"), target.text, Format(target.ratio, "%.2fx"),
                 Verdict(target, met, missed));
        }
    }
}

// Each diagnostic per node on chains and rings of growing size, against its figure on the first
// size (the target) and on the size before (shown only: from the first size to the next, a graph
// outgrows the caches), and against a Traverse of the chain of the same size (a ring cannot run).
void PrintDiagnosticsSizes(std::ostream& out, int& met, int& missed) {
    if (diagnosticsSizes.empty()) {
        return;
    }
    const auto& [firstChain, firstRing] = diagnosticsSizes.front();
    out << "\nDiagnostics against graph size (median of the repetitions; a ring is the chain with "
           "its"
           " last node feeding its first,\nheld to the Traverse of the chain of its size; growth is"
           " the figure per node against the one on "
        << firstChain.name << " or " << firstRing.name
        << ",\nx prev against the one on the size before)\n";
    auto line = [&out](const std::string& graph, const std::string& nodes, const std::string& what,
                       const std::string& perNode, const std::string& growth,
                       const std::string& growthVerdict, const std::string& previous,
                       const std::string& ofTraverse, const std::string& verdict) {
        char text[256];
        std::snprintf(text, sizeof text, "  %-12s %9s  %-14s %10s  %8s %-4s  %7s  %8s %-4s\n",
                      graph.c_str(), nodes.c_str(), what.c_str(), perNode.c_str(), growth.c_str(),
                      growthVerdict.c_str(), previous.c_str(), ofTraverse.c_str(), verdict.c_str());
        out << text;
    };
    line("graph", "nodes", "measure", "ns/node", "growth", "<=2x", "x prev", "of Trav", "<=10x");
    const std::pair<GraphInfo, GraphInfo>* before = nullptr;
    for (const auto& sizes : diagnosticsSizes) {
        const auto& [chain, ring] = sizes;
        const auto traverse = Median(chain.name, systems::ours, measures::traverse);
        const auto previousTraverse =
            before ? Median(before->first.name, systems::ours, measures::traverse) : std::nullopt;
        line(chain.name, std::to_string(chain.nodes), measures::traverse, Format(traverse),
             Format(Ratio(traverse, Median(firstChain.name, systems::ours, measures::traverse)),
                    "%.2fx"),
             "", Format(Ratio(traverse, previousTraverse), "%.2fx"), "1.00x", "");
        for (const bool isRing : {false, true}) {
            const GraphInfo& graph = isRing ? ring : chain;
            const GraphInfo& first = isRing ? firstRing : firstChain;
            const GraphInfo* earlier = before == nullptr ? nullptr
                                       : isRing          ? &before->second
                                                         : &before->first;
            for (const char* what :
                 {measures::findCycle, measures::checkGraph, measures::writeGraphviz}) {
                const auto perNode = Median(graph.name, systems::ours, what);
                const bool isFirst = graph.name == first.name;
                const Target growth{"",
                                    isFirst
                                        ? std::nullopt
                                        : Ratio(perNode, Median(first.name, systems::ours, what)),
                                    diagnosticsGrowth};
                const Target ofTraverse{"", Ratio(perNode, traverse), diagnosticsOfTraverse};
                const auto previousFigure =
                    earlier ? Median(earlier->name, systems::ours, what) : std::nullopt;
                line(graph.name, std::to_string(graph.nodes), what, Format(perNode),
                     Format(growth.ratio, "%.2fx"), Verdict(growth, met, missed),
                     Format(Ratio(perNode, previousFigure), "%.2fx"),
                     Format(ofTraverse.ratio, "%.2fx"), Verdict(ofTraverse, met, missed));
            }
        }
        before = &sizes;
    }
}

} // namespace

namespace {

GraphInfo InfoOf(const Shape& shape) {
    std::size_t linked = 0;
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        linked += shape.upstream[node].empty() && shape.downstream[node].empty() ? 0 : 1;
    }
    return {shape.name, shape.nodeCount, shape.edges.size(), shape.PinCount(), linked};
}

} // namespace

void RecordGraph(const Shape& shape) {
    graphs.push_back(InfoOf(shape));
}

void RecordFixedCostGraph(const Shape& shape) {
    fixedCostGraphs.push_back(InfoOf(shape));
}

void RecordDiagnosticsSizes(const Shape& chain, const Shape& ring) {
    diagnosticsSizes.emplace_back(InfoOf(chain), InfoOf(ring));
}

void RecordFigure(const std::string& graph, const std::string& system, const std::string& what,
                  double perNode) {
    figures[{graph, system, what}].push_back(perNode);
}

void PrintTable(std::ostream& out) {
    out << "\nPer-node figures: times in ns per node (topological order in ns per node plus edge),"
           " memory in heap bytes per node at its peak over build and one run.\n"
           "Our TopologicalOrder and TraverseAfterEdit each follow an unlink and relink of one link"
           " (outside the timer); SchemaCalls, the node functions' id and schemas that a build"
           " asks for,\nis against the baseline's Build. TraverseHelpers is our Traverse of the "
           "same"
           " graph with node functions made by MakeFunctionNode.\nRows whose target reads"
           " \"report\" count towards no target.\nThe rows after \"after an edit\" time "
           "TraverseChanged per call"
           " (ChangedSink after a write to one input pin of a sink,\nChangedSource after one to the"
           " output pin of the source with the largest cone, the writes not counted) against one"
           " whole Traverse\nand one whole run of oneTBB's flow graph; runs/call is the nodes each"
           " call executed.\nMemoryLibrary and MemoryHost split our Memory at its peak by who"
           " allocated each block held then: MemoryHost\nis what the host's code allocated (the"
           " node functions, made by the host, and what the library's calls into them allocate:\n"
           "the schemas they hand over, the values their executions return), MemoryLibrary"
           " everything else (records, indexes,\nNode and Pin objects, caches, link and subgraph"
           " tables, the input maps a run hands to the functions).\n"
           "BuildHistory is our Build with an edit history attached, in one transaction;"
           " BuildHistorySteps the same with each call a step.\nDelete1000 destroys 1,000 nodes"
           " in one step with a history attached; UndoDelete, RedoDelete and Delete1000NoHist"
           " (without a history)\nare per node deleted too, against Delete1000.\n";
    int met = 0;
    int missed = 0;
    for (const GraphInfo& graph : graphs) {
        TablePrinter printer(out, graph);
        printer.Print();
        met += printer.met;
        missed += printer.missed;
    }
    PrintFixedCost(out, met, missed);
    PrintDiagnosticsSizes(out, met, missed);
    out << "\nTargets met: " << met << " of " << (met + missed) << "\n";
}

} // namespace bench
