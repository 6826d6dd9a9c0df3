#include "SequenceRuns.h"
#include "TwinHarness.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>

// Random graphs, each copied twice and edited alike through the whole public API; after every
// edit batch one copy runs Traverse and the other TraverseChanged over the same subgraph, and the
// two must agree on every pin while the second executes only what changed. The seeds are fixed;
// more can be run by hand:
//   KESDATAGRAPH_CHANGED_SEEDS=N        number of sequences (default 1000; a quarter for the
//                                       harness's check of itself)
//   KESDATAGRAPH_CHANGED_FIRST_SEED=K   first seed (default 1)
//   KESDATAGRAPH_CHANGED_RUNS=M         runs per sequence (default 40)

namespace datagraph::reliability {
namespace {

struct Outcome {
    TwinTotals totals;
    long sequencesWithViolations = 0;
};

// The sequences, a quarter of them for the harness's own check; each failure is reported with its
// seed, and the run stops after five mismatching sequences.
Outcome RunSequences(bool emulate) {
    const long all = FromEnvironment("KESDATAGRAPH_CHANGED_SEEDS", 1000);
    const long sequences = emulate ? std::max(1L, all / 4) : all;
    const long firstSeed = FromEnvironment("KESDATAGRAPH_CHANGED_FIRST_SEED", 1);
    const long runs = FromEnvironment("KESDATAGRAPH_CHANGED_RUNS", 40);
    const test::LogCapture quiet; // node failures are logged by the thousand
    Outcome outcome;
    long mismatches = 0;
    for (long seed = firstSeed; seed < firstSeed + sequences && mismatches < 5; ++seed) {
        TwinHarness harness(static_cast<std::uint32_t>(seed), emulate);
        try {
            for (long run = 0; run < runs; ++run) {
                harness.Step();
            }
        } catch (const std::exception& e) {
            ++mismatches;
            ADD_FAILURE() << "seed " << seed << " (KESDATAGRAPH_CHANGED_FIRST_SEED=" << seed
                          << " KESDATAGRAPH_CHANGED_SEEDS=1 repeats it): " << e.what()
                          << "\nlast steps:\n"
                          << Tail(harness.Log(), 25);
        }
        if (!harness.Violations().empty() && ++outcome.sequencesWithViolations <= 3) {
            ADD_FAILURE() << "seed " << seed << ": " << harness.Violations().front();
        }
        outcome.totals += harness.Totals();
    }
    return outcome;
}

void Report(const char* title, const Outcome& outcome) {
    const TwinTotals& totals = outcome.totals;
    std::cout << title << ": " << totals.sequences << " sequences (" << totals.nestedTwice
              << " nesting graphs two deep), " << totals.edits << " edits (" << totals.nestedEdits
              << " in nested graphs), " << totals.runs << " runs (" << totals.refusedRuns
              << " ended alike by a cycle or a host failure, " << totals.hostFailures
              << " of them host failures), " << totals.failuresCompared
              << " node failures compared; " << totals.fullExecutions
              << " executions under Traverse, " << totals.changedExecutions << " in the other ("
              << totals.fullExecutions - totals.changedExecutions << " saved), "
              << totals.violations << " executions run or skipped against the rule, in "
              << outcome.sequencesWithViolations << " sequences" << std::endl;
    ::testing::Test::RecordProperty("sequences", static_cast<int>(totals.sequences));
    ::testing::Test::RecordProperty("runs", static_cast<int>(totals.runs));
    ::testing::Test::RecordProperty("executionsTraverse", static_cast<int>(totals.fullExecutions));
    ::testing::Test::RecordProperty("executionsOther", static_cast<int>(totals.changedExecutions));
}

// Guards against a generator that quietly stops reaching the interesting cases.
void ExpectCoverage(const TwinTotals& totals) {
    if (totals.sequences >= 100 && totals.runs >= 10 * totals.sequences) {
        EXPECT_GT(totals.refusedRuns, totals.runs / 100);
        EXPECT_GT(totals.hostFailures, totals.runs / 200);
        EXPECT_GT(totals.nestedEdits, totals.edits / 20);
        EXPECT_GT(totals.nestedTwice, totals.sequences / 20);
        EXPECT_GT(totals.failuresCompared, totals.runs / 20);
        EXPECT_GT(totals.fullExecutions, totals.runs);
    }
}

TEST(TraverseChangedEquivalenceTest, LeavesEveryPinAsTraverseDoesAndExecutesOnlyWhatChanged) {
    const Outcome outcome = RunSequences(false);
    Report("TraverseChanged against Traverse", outcome);
    EXPECT_EQ(outcome.totals.violations, 0);
    ExpectCoverage(outcome.totals);
}

// The harness checked on itself: functions that skip, by writing nothing, every call the check
// finds without a reason, run by plain Traverse, must leave every pin as Traverse does. Were the
// check too strict, this would fail where a correct TraverseChanged would be blamed.
TEST(TraverseChangedEquivalenceTest, SkippingWhatTheCheckFindsUnneededChangesNoPin) {
    const Outcome outcome = RunSequences(true);
    Report("emulated skipping against Traverse", outcome);
    EXPECT_LT(outcome.totals.changedExecutions, outcome.totals.fullExecutions);
    ExpectCoverage(outcome.totals);
}

} // namespace
} // namespace datagraph::reliability
