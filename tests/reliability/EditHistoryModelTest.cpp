#include "HistoryHarness.h"
#include "InjectedAllocation.h"
#include "SequenceRuns.h"

#include <datagraph/EditHistory.h>
#include <datagraph/Graph.h>
#include <kescoreplatform/KLog.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

// Random sequences of edits, transactions, traversals, undos and redos on a graph with an edit
// history and an edit observer, each undo and redo compared with the snapshot recorded at the
// point it reaches, and a sample of them first made to fail at each allocation in turn. The
// executable replaces the global operator new for that, so it stands apart from the other
// suites. The seeds are fixed so that every run checks the same sequences; more can be run by
// hand:
//   KESDATAGRAPH_HISTORY_SEEDS=N           number of sequences (default 250)
//   KESDATAGRAPH_HISTORY_FIRST_SEED=K      first seed (default 1)
//   KESDATAGRAPH_HISTORY_STEPS=M           steps per sequence (default 200)
//   KESDATAGRAPH_HISTORY_INJECT_PERCENT=P  share of undos and redos made to fail at each of
//                                          their allocations in turn (default 10)

namespace datagraph::reliability {

namespace {

/// Keeps the library's log of node failures a traversal went past out of the test's output.
class QuietLog {
public:
    QuietLog()
        : previous(KLog::SetLogSink([](KLog::Severity, const std::wstring&) {})) {}

    QuietLog(const QuietLog&) = delete;
    QuietLog& operator=(const QuietLog&) = delete;

    ~QuietLog() { KLog::SetLogSink(std::move(previous)); }

private:
    KLog::LogSink previous;
};

std::shared_ptr<HistoryFunction> Function(const GUID& id, const HistoryFunction::Pins& inputs,
                                          const HistoryFunction::Pins& outputs) {
    return std::make_shared<HistoryFunction>(id, 1, inputs, outputs,
                                             std::make_shared<FunctionContext>());
}

// Steps whose edits touch the same node, pin or link one after the other: each edit is undone or
// redone on the graph as the others left it, and whatever allocation fails, the undo or redo
// raises std::bad_alloc and leaves the graph and the lists as they were.
TEST(EditHistoryAllocationTest, StepsOfEditsOnTheSameNodeFailWholeAtEveryAllocation) {
    const GUID n = CreateGUID(), m = CreateGUID(), in = CreateGUID(), extra = CreateGUID(),
               upstream = CreateGUID(), subgraph = CreateGUID();
    const std::vector<std::pair<std::string, std::function<void(Graph&)>>> steps = {
        {"a node made and destroyed",
         [&](Graph& graph) {
             graph.CreateNode(Function(n, {{in, ValueKind::A}}, {}), GetNullGUID());
             graph.DestroyNode(n);
         }},
        {"a node given a pin, an entry and links, then destroyed",
         [&](Graph& graph) {
             graph.CreateNode(Function(n, {{in, ValueKind::A}}, {}), GetNullGUID());
             graph.CreateOutputPin(n, extra, typeid(ValueA));
             graph.LinkPins(upstream, in);
             graph.AssignNodeToExecutionSubgraphs(n, subgraph);
             graph.DestroyNode(n);
         }},
        {"a pin linked and then destroyed",
         [&](Graph& graph) {
             graph.CreateNode(Function(n, {{in, ValueKind::A}}, {}), GetNullGUID());
             graph.LinkPins(upstream, in);
             graph.DestroyOutputPin(m, upstream);
         }},
        {"a value written, then a pin destroyed",
         [&](Graph& graph) {
             graph.CreateNode(Function(n, {{in, ValueKind::A}}, {}), GetNullGUID());
             graph.CreateOutputPin(n, extra, typeid(ValueA));
             graph.DestroyOutputPin(n, extra);
             graph.PutDataOnPin(in, MakeValue(ValueKind::A, 1));
         }},
        {"a value written on a node made, then overwritten by a traversal",
         [&](Graph& graph) {
             graph.CreateNode(Function(n, {{in, ValueKind::A}}, {}), GetNullGUID());
             graph.LinkPins(upstream, in);
             graph.PutDataOnPin(in, MakeValue(ValueKind::A, 1));
         }},
        {"a node destroyed after its graph was assigned",
         [&](Graph& graph) {
             Graph other(CreateGUID());
             other.CreateNode(Function(n, {{in, ValueKind::A}}, {}), GetNullGUID());
             other.LinkPins(in, in);
             graph = other;
             graph.UnlinkInputPin(in);
             graph.DestroyNode(n);
         }},
    };
    long points = 0;
    for (const auto& [name, step] : steps) {
        Graph graph(CreateGUID());
        graph.GetPinToPinEdges();
        graph.CreateNode(Function(m, {}, {{upstream, ValueKind::A}}), GetNullGUID());
        EditHistory history(graph);
        {
            EditHistory::Transaction transaction(history);
            step(graph);
        }
        ASSERT_EQ(history.UndoCount(), 1u) << name;
        graph.Traverse(); // what it writes stays through an undo that fails
        for (bool redo : {false, true}) {
            const HistorySnapshot before(graph);
            for (long k = 0;; ++k) {
                allocation::FailAfter(k);
                bool failed = false;
                try {
                    redo ? history.Redo() : history.Undo();
                } catch (const std::bad_alloc&) {
                    failed = true;
                }
                allocation::FailAfter(-1);
                if (!failed) {
                    break;
                }
                ++points;
                EXPECT_EQ(Difference(before, HistorySnapshot(graph)), "")
                    << name << (redo ? ", redo" : ", undo") << " failing at " << k;
                EXPECT_EQ(history.UndoCount(), redo ? 0u : 1u) << name;
                EXPECT_EQ(history.RedoCount(), redo ? 1u : 0u) << name;
            }
        }
        EXPECT_EQ(history.UndoCount(), 1u) << name;
    }
    std::cout << "allocation points of steps on one node checked: " << points << std::endl;
}

TEST(EditHistoryModelTest, UndoAndRedoGiveBackTheRecordedGraphsAndAreHeardAsTheirChanges) {
    const QuietLog quiet;
    const long sequences = FromEnvironment("KESDATAGRAPH_HISTORY_SEEDS", 250);
    const long firstSeed = FromEnvironment("KESDATAGRAPH_HISTORY_FIRST_SEED", 1);
    const long length = FromEnvironment("KESDATAGRAPH_HISTORY_STEPS", 200);
    const long injectPercent = FromEnvironment("KESDATAGRAPH_HISTORY_INJECT_PERCENT", 10);
    HistoryTotals totals;
    long failures = 0;
    for (long seed = firstSeed; seed < firstSeed + sequences && failures < 5; ++seed) {
        RandomChoices choices(static_cast<std::uint32_t>(seed));
        HistoryHarness harness(choices, static_cast<int>(injectPercent));
        try {
            for (long step = 0; step < length; ++step) {
                harness.Step();
            }
            harness.Finish();
        } catch (const std::exception& e) {
            ++failures;
            ADD_FAILURE() << "seed " << seed << ": " << e.what() << "\nlast steps:\n"
                          << Tail(harness.Log(), 30);
        }
        totals += harness.Totals();
    }
    std::cout << "edit history sequences: " << totals.sequences << " sequences, " << totals.steps
              << " steps, " << totals.edits << " recorded edits, " << totals.unrecorded
              << " edits that changed nothing, " << totals.refusals << " refusals, "
              << totals.transactions << " transactions (" << totals.nestedTransactions
              << " nested, " << totals.abandonedTransactions << " left by an exception), "
              << totals.traversals << " traversals (" << totals.traversalsRefused
              << " refused by a cycle, " << totals.traversalsFailed << " failed, "
              << totals.equivalenceChecks << " TraverseChanged checked against a copy), "
              << totals.executions << " nodes run outside a traversal, " << totals.undos
              << " undos, " << totals.redos << " redos (" << totals.exactComparisons
              << " compared values included as recorded), " << totals.emptyRefusals
              << " with nothing to do, " << totals.transactionRefusals
              << " refused in a transaction, " << totals.traversalRefusals
              << " refused during a traversal, " << totals.limits << " limits set, "
              << totals.injectedUndoRedos << " undos and redos made to fail at "
              << totals.allocationFailurePoints << " allocation points, " << totals.notices
              << " notices checked" << std::endl;
    // Guards against a generator that quietly stops reaching the interesting cases.
    if (sequences >= 100 && length >= 100) {
        EXPECT_GT(totals.refusals, totals.edits / 20);
        EXPECT_GT(totals.undos, totals.steps / 10);
        EXPECT_GT(totals.redos, totals.steps / 40);
        EXPECT_GT(totals.abandonedTransactions, 0);
        EXPECT_GT(totals.traversalRefusals, 0);
        EXPECT_GT(totals.allocationFailurePoints, totals.injectedUndoRedos);
        EXPECT_GT(totals.exactComparisons, (totals.undos + totals.redos) / 4);
    }
}

} // namespace
} // namespace datagraph::reliability
