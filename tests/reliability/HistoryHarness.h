#pragma once

// Random sequences of a host's edits to a graph with an EditHistory and an edit observer attached:
// every editing call of the public API (refused ones included), transactions (nested, and left by
// an exception), traversals, undos and redos, limits. After every completed step the harness keeps
// a full snapshot of the graph for that point of the history; after every undo and redo it
// compares the graph with the snapshot of the point it went back or forward to, and the notices
// the observer heard with the changes the step made. A sample of undos and redos is first made to
// fail at each of its allocations in turn. Any difference raises HistoryMismatch.
//
// What a traversal wrote is predicted by the history's own rule rather than avoided: an undo or
// redo restores the values, marks and flags its step wrote, to what each held just before or just
// after the write, and leaves every other value, mark and flag as it is (a node or pin that leaves
// the graph and comes back keeps what it held). The harness follows what each Pin and Node object
// holds, in the graph or kept by the history, and builds the expected snapshot from the recorded
// one's structure with those values in place. Where no traversal changed anything since a snapshot
// was taken, the graph must equal that snapshot exactly, values included.

#include "ChoiceSource.h"
#include "HistorySnapshot.h"
#include "HistoryValues.h"

#include <datagraph/EditHistory.h>
#include <datagraph/Graph.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace datagraph::reliability {

struct HistoryTotals {
    long sequences = 0;
    long steps = 0;
    long edits = 0;        // recorded
    long unrecorded = 0;   // succeeded without changing anything, or changing nothing observable
    long refusals = 0;     // refused requests checked to change and record nothing
    long transactions = 0; // outermost ones
    long nestedTransactions = 0;
    long abandonedTransactions = 0; // left by an exception
    long traversals = 0;
    long traversalsRefused = 0; // by a cycle
    long traversalsFailed = 0;  // a node raised
    long equivalenceChecks = 0; // TraverseChanged against Traverse of a copy
    long executions = 0;        // Node::Execute outside a traversal
    long undos = 0;
    long redos = 0;
    long emptyRefusals = 0;       // Undo or Redo with nothing to do
    long transactionRefusals = 0; // Undo or Redo inside a transaction
    long traversalRefusals = 0;   // Undo or Redo from a node function during a traversal
    long limits = 0;
    long injectedUndoRedos = 0;       // undos and redos made to fail at each allocation in turn
    long allocationFailurePoints = 0; // failed allocations checked
    long exactComparisons = 0;        // snapshots compared values included, as recorded
    long notices = 0;

    HistoryTotals& operator+=(const HistoryTotals& other);
};

class NoticeRecorder;

class HistoryHarness {
public:
    /// `injectPercent`: the share of undos and redos first made to fail at each allocation.
    HistoryHarness(ChoiceSource& choices, int injectPercent);
    ~HistoryHarness();
    HistoryHarness(const HistoryHarness&) = delete;
    HistoryHarness& operator=(const HistoryHarness&) = delete;

    /// One random step, checked.
    void Step();
    /// Undoes every step and redoes them all, then lets go of the graph and the history, in a
    /// random order, and checks that none of the suite's objects outlives them.
    void Finish();

    const HistoryTotals& Totals() const { return totals; }

    const std::vector<std::string>& Log() const { return log; }

    struct Edit;

private:
    using Entries = std::map<GUID, std::vector<GUID>>; // id to the subgraphs it is filed under

    struct State {
        HistorySnapshot snapshot;
        Entries entries;
        std::vector<Edit> step; // the edits that led here from the state before
        long epoch;             // traversals that had changed something when it was taken
        bool clean = true;      // no traversal changed anything while its step was open
    };

    struct Expectation;

    // Steps.
    void RandomEdit();
    void Transaction(int depth);
    void Traversal();
    void ExecuteNode();
    void Undo(bool redo);
    void SetLimit();
    void ForgetHistory();
    void ReplaceHistory();

    // Edits.
    void CreateNode();
    void DestroyNode();
    void CreatePin();
    void DestroyPin();
    void LinkPins();
    void UnlinkPins(bool inputOnly);
    void WriteValue(bool throughPin);
    void SetMark();
    void SetFlag(bool disabled);
    void AssignEntry();
    void Clear();
    void AssignGraph();

    void Perform(const std::string& name, Expectation expectation,
                 const std::function<void()>& call);
    void CloseStep();
    bool InjectFailures(bool redo);
    static std::string Describe(const std::vector<Edit>& step);

    // Checks and the model.
    void CheckCounts(const std::string& where) const;
    void CheckGraph(const std::string& where, const HistorySnapshot& snapshot) const;
    void Refresh(const HistorySnapshot& snapshot);
    void Fail(const std::string& what) const;
    /// Logs the step, and prints it when KESDATAGRAPH_HISTORY_TRACE is set.
    void Note(std::string line);

    // Choices.
    GUID PickNode(int existingPercent);
    GUID PickPin(int existingPercent, int outputPercent);
    GUID PickSubgraph();
    std::shared_ptr<HistoryFunction> NewFunction(const GUID& id, const HistorySnapshot* clashWith);

    ChoiceSource& choices;
    int injectPercent;
    HistoryTotals totals;
    std::vector<std::string> log;
    std::shared_ptr<FunctionContext> context;
    std::unique_ptr<NoticeRecorder> recorder;
    std::unique_ptr<Graph> graph;
    std::unique_ptr<EditHistory> history;
    const void* linkTable = nullptr;

    std::optional<HistorySnapshot> current; // the graph after the last step
    Entries entries;
    std::vector<State> states; // oldest first; `position` is the graph's
    std::size_t position = 0;
    std::size_t limit = 0;
    std::vector<Edit> pending; // recorded in the open transaction
    int openTransactions = 0;
    std::map<const Pin*, PinData> pinData; // what each pin object holds, in the graph or not
    std::map<const Node*, NodeFlags> nodeFlags;
    long epoch = 0;
    long stepEpoch = 0;     // `epoch` when the open transaction began
    long crossedEpoch = -1; // an undo or redo went across a traversal that changed something
};

} // namespace datagraph::reliability
