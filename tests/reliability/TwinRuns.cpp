#include "TwinHarness.h"

#include "store/GraphStore.h"

#include <datagraph/ITraversalObserver.h>
#include <datagraph/Pin.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <sstream>

namespace datagraph::reliability {
namespace {

std::string Listed(const std::map<GUID, std::string>& failures) {
    std::string text;
    for (const auto& [node, message] : failures) {
        text += GUIDToString(node) + " (" + message + ") ";
    }
    return text.empty() ? "none " : text;
}

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
    const std::uint32_t which = choices.Below(20);
    const GUID subgraph = which < 11   ? subgraphs[0]
                          : which < 19 ? subgraphs[1 + which % 2]
                                       : NextId();
    const Call call = choices.Chance(90)                               ? Call::Observed
                      : subgraph == subgraphs[0] && choices.Chance(50) ? Call::Default
                                                                       : Call::Plain;
    RunReport reports[2];
    ledgers[Changed].called.clear();
    const std::string full = RunOne(Full, subgraph, call, reports[Full]);
    const std::string changed = RunOne(Changed, subgraph, call, reports[Changed]);
    ++totals.runs;
    log.push_back("run " + std::to_string(totals.runs) + " over subgraph " +
                  std::to_string(which < 11   ? 0
                                 : which < 19 ? 1 + which % 2
                                              : 3) +
                  ": " + full);
    if (full != changed) {
        throw TwinMismatch("the run ended with " + full + " under Traverse but " + changed +
                           " under TraverseChanged");
    }
    if (full != "done") {
        ++totals.refusedRuns;
        totals.hostFailures += full.rfind("HostFailure", 0) == 0 ? 1 : 0;
    }
    if (call == Call::Observed) {
        CompareReports(reports[Full], reports[Changed], full.rfind("HostFailure", 0) == 0);
    }
    NoteInputsBetweenRuns();
    CheckStores();
}

void TwinHarness::CheckStores() {
    for (int twin : {Full, Changed}) {
        std::vector<const Graph*> pending{twins[twin].get()};
        while (!pending.empty()) {
            const Graph& graph = *pending.back();
            pending.pop_back();
            try {
                GraphStore::Of(graph).CheckConsistency();
            } catch (const GraphException& broken) {
                throw TwinMismatch(std::string(twin == Full ? "Traverse's" : "TraverseChanged's") +
                                   " graph broke an invariant: " + broken.what());
            }
            for (const GUID& node : Nodes(graph)) {
                if (const Probe* probe = ProbeOf(graph.GetConstNode(node))) {
                    if (probe->inner != nullptr) {
                        pending.push_back(probe->inner);
                    }
                }
            }
        }
    }
}

// What each top node's input pins hold now, for the probes of the twin that runs TraverseChanged.
void TwinHarness::NoteInputsBetweenRuns() {
    const Graph& graph = *twins[Changed];
    for (const GUID& node : Nodes(graph)) {
        Probe* probe = ProbeOf(graph.GetConstNode(node));
        if (probe == nullptr) {
            continue;
        }
        DataMap inputs;
        for (const GUID& pin : graph.GetInputPins(node)) {
            if (std::shared_ptr<const IDataValue> value = graph.GetDataFromPin(pin)) {
                inputs.emplace(pin, std::move(value));
            }
        }
        probe->SawInputs(inputs);
    }
}

// One twin's run through one of the overloads; the emulating twin runs Traverse.
std::string TwinHarness::RunOne(int twin, const GUID& subgraph, Call call, RunReport& report) {
    Graph& graph = *twins[twin];
    return OutcomeOf([&] {
        if (twin == Full || emulate) {
            call == Call::Observed  ? graph.Traverse(subgraph, report)
            : call == Call::Default ? graph.Traverse()
                                    : graph.Traverse(subgraph);
        } else {
            call == Call::Observed  ? graph.TraverseChanged(subgraph, report)
            : call == Call::Default ? graph.TraverseChanged()
                                    : graph.TraverseChanged(subgraph);
        }
    });
}

// The same failures; TraverseChanged ran nothing Traverse did not, skipped only what was up to
// date, reported each execution and gave the reasons Traverse gave for the nodes it skipped;
// neither told the observer twice about a node.
void TwinHarness::CompareReports(const RunReport& full, const RunReport& changed,
                                 bool hostFailure) {
    if (full.failed != changed.failed) {
        throw TwinMismatch("the runs reported different failures: " + Listed(full.failed) +
                           "under Traverse, " + Listed(changed.failed) + "under TraverseChanged");
    }
    totals.failuresCompared += static_cast<long>(full.failed.size());
    for (const GUID& node : changed.ran) {
        if (full.ran.count(node) == 0) {
            throw TwinMismatch("node " + Named({}, node) +
                               " ran under TraverseChanged but not under Traverse");
        }
    }
    if (!full.repeated.empty() || !changed.repeated.empty()) {
        throw TwinMismatch("the observer was told twice about one node in one run");
    }
    for (const auto& [node, reason] : changed.skipped) {
        const auto found = full.skipped.find(node);
        if (found == full.skipped.end() || found->second != reason) {
            throw TwinMismatch("TraverseChanged skipped " + Named({}, node) +
                               " for a reason that Traverse did not give");
        }
    }
    if (!emulate) {
        CompareWithCalls(changed, hostFailure);
    }
    FindMissedExecutions(full.ran, changed.ran);
}

// Each execution of the run is reported as NodeRan or NodeFailed, but for the one that raised a
// host failure; NodeRan only for an execution. NodeFailed may also name an up-to-date node whose
// values failed to move on (a marked output without a value, say): it is not called.
void TwinHarness::CompareWithCalls(const RunReport& changed, bool hostFailure) {
    std::multiset<std::string> called(ledgers[Changed].called.begin(),
                                      ledgers[Changed].called.end());
    std::multiset<std::string> ran;
    for (const GUID& node : changed.ran) {
        ran.insert(Named({}, node));
    }
    std::multiset<std::string> reported = ran;
    for (const auto& entry : changed.failed) {
        reported.insert(Named({}, entry.first));
    }
    std::vector<std::string> unreported;
    std::set_difference(called.begin(), called.end(), reported.begin(), reported.end(),
                        std::back_inserter(unreported));
    const bool ranWasCalled = std::includes(called.begin(), called.end(), ran.begin(), ran.end());
    if (!ranWasCalled || unreported.size() > (hostFailure ? 1u : 0u)) {
        throw TwinMismatch("TraverseChanged's observer was not told of each execution");
    }
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
                "node " + Named({}, node) +
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
