#pragma once

// Two copies of one random graph, edited alike: the first is run with Traverse, the second with
// TraverseChanged over the same execution subgraph. After every run both must hold the same
// value contents and marks on every pin, at every depth of nesting, and must have reported the
// same failures and skips; the second must have executed exactly the nodes that had something
// to recompute, and told its observer of each. Ids come from the seeded engine, so that a seed
// repeats its sequence exactly.

#include "ChangeProbes.h"
#include "ChoiceSource.h"

#include <datagraph/Graph.h>
#include <datagraph/ITraversalObserver.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace datagraph::reliability {

/// A difference between the two graphs, or a call that had no reason to happen.
struct TwinMismatch : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TwinTotals {
    long sequences = 0;
    long edits = 0;
    long nestedEdits = 0; // inside an ubernode's graph
    long runs = 0;
    long refusedRuns = 0; // cycles and host failures, alike in both graphs
    long hostFailures = 0;
    long nestedTwice = 0;      // sequences that reached a graph two ubernodes deep
    long failuresCompared = 0; // NodeFailed reports compared
    long fullExecutions = 0;   // top-graph executions under Traverse
    long changedExecutions = 0;
    long violations = 0;

    TwinTotals& operator+=(const TwinTotals& other);
};

// What one run told its observer.
class RunReport : public ITraversalObserver {
public:
    void NodeRan(const GUID& nodeId, std::chrono::nanoseconds) override {
        ran.insert(nodeId);
        Count(nodeId);
    }

    void NodeSkipped(const GUID& nodeId, SkipReason reason,
                     const IdentifierSet& unmarkedInputPins) override {
        skipped[nodeId] = {reason,
                           std::set<GUID>(unmarkedInputPins.begin(), unmarkedInputPins.end())};
        Count(nodeId);
    }

    void NodeFailed(const GUID& nodeId, const std::string& message) override {
        failed.emplace(nodeId, message);
        Count(nodeId);
    }

    std::set<GUID> ran;
    std::map<GUID, std::string> failed;
    std::map<GUID, std::pair<SkipReason, std::set<GUID>>> skipped;
    std::set<GUID> repeated; // told more than once in one run

private:
    void Count(const GUID& nodeId) {
        if (!told.insert(nodeId).second) {
            repeated.insert(nodeId);
        }
    }

    std::set<GUID> told;
};

/// "done", or the kind and message of what the action raised.
template <typename Action> std::string OutcomeOf(Action&& action) {
    try {
        action();
        return "done";
    } catch (const GraphException& e) {
        return std::string("GraphException \"") + e.what() + "\"";
    } catch (const HostFailure& e) {
        return std::string("HostFailure \"") + e.what() + "\"";
    } catch (const std::out_of_range& e) {
        return std::string("out_of_range \"") + e.what() + "\"";
    } catch (const std::exception& e) {
        return std::string("exception \"") + e.what() + "\"";
    }
}

/// The ubernode ids leading from a top graph to one of its nested graphs; empty for the top.
using GraphPath = std::vector<GUID>;

class TwinHarness {
public:
    static constexpr int Full = 0;    // driven by Traverse
    static constexpr int Changed = 1; // driven by TraverseChanged

    /// With `emulate`, the second graph runs Traverse too, and its functions skip the calls
    /// that have no reason by writing nothing: a check of the harness itself, since that must
    /// leave every pin as Traverse does.
    TwinHarness(std::uint32_t seed, bool emulate);
    TwinHarness(const TwinHarness&) = delete;
    TwinHarness& operator=(const TwinHarness&) = delete;
    ~TwinHarness();

    /// Some edits (sometimes none), one run of both graphs and the comparison of everything.
    /// Raises TwinMismatch.
    void Step();

    TwinTotals Totals() const;

    const std::vector<std::string>& Log() const { return log; }

    /// Executions under TraverseChanged that had no reason, and nodes it skipped that had one,
    /// each with the steps before it; the first few only.
    const std::vector<std::string>& Violations() const { return violations; }

private:
    // Building (TwinHarness.cpp).
    GUID NextId();
    std::shared_ptr<Behaviour> NewBehaviour(bool top);
    void Populate(Graph& graph, int depth);
    std::shared_ptr<ProbedUbernode> MakeUbernode(int depth);
    /// Links for a node just made, chosen so that no cycle forms.
    std::vector<std::pair<GUID, GUID>> ChooseLinks(const Graph& graph, const GUID& node);
    void Configure(int twin);

    // Finding things, always in the Full graph, in id order (TwinHarness.cpp).
    Graph& Resolve(int twin, const GraphPath& path);
    std::vector<GraphPath> AllPaths();
    GraphPath PickPath();

    template <typename T> const T& Pick(const std::vector<T>& items) {
        return items[choices.Below(static_cast<std::uint32_t>(items.size()))];
    }

    std::vector<GUID> Nodes(const Graph& graph) const;
    std::vector<GUID> Pins(const Graph& graph) const;
    bool IsOutput(const Graph& graph, const GUID& pin) const;
    bool Reaches(const Graph& graph, const GUID& from, const GUID& to) const;
    std::string Named(const GraphPath& path, const GUID& id);
    /// The ubernodes of the path, outermost first, as "u1/u7".
    std::string Where(const GraphPath& path);
    bool IsUbernode(const Graph& graph, const GUID& node) const;

    // Edits, applied alike to both graphs (TwinEdits.cpp).
    template <typename Edit>
    void Both(const std::string& what, const GraphPath& path, Edit edit,
              const GUID& touched = GetNullGUID(), bool changes = true);
    void Touch(const GraphPath& path, const GUID& node);
    void RandomEdit();
    void WriteValue(const GraphPath& path, int how);
    void SetMark(const GraphPath& path);
    void Link(const GraphPath& path);
    void Unlink(const GraphPath& path);
    void CreatePin(const GraphPath& path);
    void DestroyPin(const GraphPath& path);
    void CreateNode(const GraphPath& path);
    void DestroyNode(const GraphPath& path);
    void AssignToSubgraph();
    void MarkChanged(const GraphPath& path);
    void ChangeExternalState();
    void ExecuteDirectly();
    void MakeCycle();
    void OpenCycle();
    void CopyBoth();

    // Running and comparing (TwinRuns.cpp).
    enum class Call { Observed, Default, Plain }; // which overload runs the graphs
    void Run();
    std::string RunOne(int twin, const GUID& subgraph, Call call, RunReport& report);
    void CompareReports(const RunReport& full, const RunReport& changed, bool hostFailure);
    void CompareWithCalls(const RunReport& changed, bool hostFailure);
    void NoteInputsBetweenRuns();
    /// The store's own consistency check on every graph of both twins, nested ones included.
    void CheckStores();
    void FindMissedExecutions(const std::set<GUID>& byFull, const std::set<GUID>& byChanged);
    void ComparePins();
    void CompareOrders();
    void CollectViolations();

    bool emulate;
    int external = 0; // the state outside the graphs that external functions read
    RandomChoices choices;
    std::mt19937_64 ids;
    int names = 0;
    Ledger ledgers[2];
    std::unique_ptr<Graph> twins[2];
    std::vector<GUID> subgraphs;   // of the top graphs, the default first
    std::set<GUID> protectedPins;  // inner pins an ubernode reads or writes: never destroyed
    std::set<GUID> protectedNodes; // and the nodes that own them
    std::optional<std::pair<GUID, GUID>> cycleLink;
    std::vector<std::string> log;
    TwinTotals totals;
    std::size_t violationsSeen = 0;
    std::vector<std::string> violations;
};

// Runs the edit on both graphs; both must accept it, or both refuse it alike. An accepted edit
// that `changes` the graph touches the node `touched` names, if any, and, inside a nested graph,
// every ubernode on the way down; a refused one, or one that changes nothing, touches nothing.
template <typename Edit>
void TwinHarness::Both(const std::string& what, const GraphPath& path, Edit edit,
                       const GUID& touched, bool changes) {
    log.push_back(what + (path.empty() ? "" : " inside " + Where(path)));
    std::string outcomes[2];
    for (int twin : {Full, Changed}) {
        outcomes[twin] = OutcomeOf([&] { edit(Resolve(twin, path), twin); });
    }
    if (changes && outcomes[Full] == "done" && outcomes[Changed] == "done") {
        Touch(path, touched);
    }
    ++totals.edits;
    totals.nestedEdits += path.empty() ? 0 : 1;
    CheckStores();
    if (outcomes[Full] != outcomes[Changed]) {
        throw TwinMismatch(what + ": " + outcomes[Full] + " under Traverse, " + outcomes[Changed] +
                           " under TraverseChanged");
    }
}

} // namespace datagraph::reliability
