#include "TwinHarness.h"

#include <datagraph/ITraversalObserver.h>
#include <datagraph/Pin.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace datagraph::reliability {
namespace {

// What one run told its observer.
class Recorder : public ITraversalObserver {
public:
    void NodeRan(const GUID& nodeId, std::chrono::nanoseconds) override {
        ran.insert(nodeId);
        Count(nodeId);
    }

    void NodeSkipped(const GUID& nodeId, SkipReason, const IdentifierSet&) override {
        Count(nodeId);
    }

    void NodeFailed(const GUID& nodeId, const std::string& message) override {
        failed.emplace(nodeId, message);
        Count(nodeId);
    }

    std::set<GUID> ran;
    std::map<GUID, std::string> failed;
    std::set<GUID> repeated; // told more than once in one run

private:
    void Count(const GUID& nodeId) {
        if (!told.insert(nodeId).second) {
            repeated.insert(nodeId);
        }
    }

    std::set<GUID> told;
};

std::string Describe(const Graph& graph, const GUID& pin) {
    const GUID node = graph.GetOwningNode(pin);
    return "pin " + GUIDToString(pin) + " of " +
           graph.GetConstNode(node).GetNodeFunction().GetName();
}

std::string StateOf(const Graph& graph, const GUID& pin) {
    const Pin& object = graph.GetConstPin(pin);
    return std::to_string(ContentOf(object.GetData().get())) +
           (object.HasUpdatedData() ? " marked" : " unmarked");
}

std::string OrderOf(const Graph& graph) {
    std::string order;
    const std::string outcome = OutcomeOf([&] {
        for (const GUID& node : graph.GetNodesInTopologicalOrder()) {
            order += GUIDToString(node) + " ";
        }
    });
    return outcome + ": " + order;
}

} // namespace

void TwinHarness::Step() {
    if (cycleLink && choices.Chance(80)) {
        OpenCycle();
    }
    const std::uint32_t edits = choices.Chance(15) ? 0 : 1 + choices.Below(4);
    for (std::uint32_t i = 0; i < edits; ++i) {
        RandomEdit();
    }
    CompareOrders();
    Run();
    ComparePins();
    CollectViolations();
}

// Both graphs run over one subgraph, through the observer overloads most of the time.
void TwinHarness::Run() {
    const std::uint32_t which = choices.Below(100);
    const GUID subgraph = which < 55   ? subgraphs[0]
                          : which < 95 ? subgraphs[1 + choices.Below(2)]
                                       : NextId();
    const bool observed = choices.Chance(90);
    const bool defaultOverload = !observed && subgraph == subgraphs[0] && choices.Chance(50);
    Recorder recorders[2];
    std::string outcomes[2];
    outcomes[Full] = OutcomeOf([&] {
        Graph& graph = *twins[Full];
        observed          ? graph.Traverse(subgraph, recorders[Full])
        : defaultOverload ? graph.Traverse()
                          : graph.Traverse(subgraph);
    });
    outcomes[Changed] = OutcomeOf([&] {
        Graph& graph = *twins[Changed];
        if (emulate) {
            graph.Traverse(subgraph, recorders[Changed]);
            return;
        }
        observed          ? graph.TraverseChanged(subgraph, recorders[Changed])
        : defaultOverload ? graph.TraverseChanged()
                          : graph.TraverseChanged(subgraph);
    });
    ++totals.runs;
    log.push_back("run " + std::to_string(totals.runs) + " over subgraph " +
                  std::to_string(which < 55   ? 0
                                 : which < 95 ? 1
                                              : 3) +
                  ": " + outcomes[Full]);
    if (outcomes[Full] != outcomes[Changed]) {
        throw TwinMismatch("the run ended with " + outcomes[Full] + " under Traverse but " +
                           outcomes[Changed] + " under TraverseChanged");
    }
    if (outcomes[Full] != "done") {
        ++totals.refusedRuns;
        totals.hostFailures += outcomes[Full].rfind("HostFailure", 0) == 0 ? 1 : 0;
    }
    if (!observed) {
        return;
    }
    if (recorders[Full].failed != recorders[Changed].failed) {
        throw TwinMismatch("the runs reported different failures");
    }
    totals.failuresCompared += static_cast<long>(recorders[Full].failed.size());
    for (const GUID& node : recorders[Changed].ran) {
        if (recorders[Full].ran.count(node) == 0) {
            throw TwinMismatch("node " + GUIDToString(node) +
                               " ran under TraverseChanged but not under Traverse");
        }
    }
    if (!recorders[Full].repeated.empty() || !recorders[Changed].repeated.empty()) {
        throw TwinMismatch("the observer was told twice about one node in one run");
    }
    FindMissedExecutions(recorders[Full].ran, recorders[Changed].ran);
}

// A node that Traverse executed and TraverseChanged did not must have been up to date: its
// inputs now are the objects of its last call, and nothing else happened to it since.
void TwinHarness::FindMissedExecutions(const std::set<GUID>& byFull,
                                       const std::set<GUID>& byChanged) {
    const Graph& graph = *twins[Changed];
    for (const GUID& node : byFull) {
        if (byChanged.count(node) != 0 || !graph.HasNode(node)) {
            continue;
        }
        DataMap inputs;
        for (const GUID& pin : graph.GetInputPins(node)) {
            if (std::shared_ptr<const IDataValue> value = graph.GetDataFromPin(pin)) {
                inputs.emplace(pin, std::move(value));
            }
        }
        if (ProbeOf(graph.GetConstNode(node))->HasReason(inputs)) {
            ledgers[Changed].violations.push_back(
                "node " + GUIDToString(node) +
                " had something to recompute, but only Traverse executed it");
        }
    }
}

// Every pin of every graph, nested ones included: the same content and the same mark.
void TwinHarness::ComparePins() {
    for (const GraphPath& path : AllPaths()) {
        totals.nestedTwice = path.size() >= 2 ? 1 : totals.nestedTwice;
        const Graph& full = Resolve(Full, path);
        const Graph* changed = nullptr;
        const std::string found = OutcomeOf([&] { changed = &Resolve(Changed, path); });
        if (changed == nullptr || Nodes(full) != Nodes(*changed) || Pins(full) != Pins(*changed)) {
            throw TwinMismatch("the graphs at depth " + std::to_string(path.size()) +
                               " hold different nodes or pins (" + found + ")");
        }
        for (const GUID& pin : Pins(full)) {
            if (StateOf(full, pin) != StateOf(*changed, pin)) {
                throw TwinMismatch(Describe(full, pin) + " at depth " +
                                   std::to_string(path.size()) + " holds " + StateOf(full, pin) +
                                   " under Traverse but " + StateOf(*changed, pin) +
                                   " under TraverseChanged");
            }
        }
    }
}

// The harness relies on both graphs keeping one order, so that a host failure stops both at the
// same node.
void TwinHarness::CompareOrders() {
    if (OrderOf(*twins[Full]) != OrderOf(*twins[Changed])) {
        throw TwinMismatch("harness precondition: the two graphs order their nodes differently");
    }
}

void TwinHarness::CollectViolations() {
    const std::vector<std::string>& found = ledgers[Changed].violations;
    if (found.size() > violationsSeen && violations.size() < 3) {
        std::ostringstream text;
        text << found[violationsSeen] << ", in run " << totals.runs << "; the steps before:\n";
        for (std::size_t i = log.size() > 12 ? log.size() - 12 : 0; i < log.size(); ++i) {
            text << "  " << log[i] << "\n";
        }
        violations.push_back(text.str());
    }
    violationsSeen = found.size();
}

} // namespace datagraph::reliability
