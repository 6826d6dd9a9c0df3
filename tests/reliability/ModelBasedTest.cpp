#include "GraphInvariants.h"
#include "ModelHarness.h"
#include "SequenceRuns.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

// Random operation sequences over the whole public API, each compared step by step with the
// model. The seeds are fixed so that every run checks the same sequences; more can be run by hand:
//   KESDATAGRAPH_MODEL_SEEDS=N          number of sequences (default 1000)
//   KESDATAGRAPH_MODEL_FIRST_SEED=K     first seed (default 1)
//   KESDATAGRAPH_MODEL_OPERATIONS=M     operations per sequence (default 200)

namespace datagraph::reliability {
namespace {

TEST(ModelBasedTest, RandomOperationSequencesMatchTheModel) {
    const long sequences = FromEnvironment("KESDATAGRAPH_MODEL_SEEDS", 1000);
    const long firstSeed = FromEnvironment("KESDATAGRAPH_MODEL_FIRST_SEED", 1);
    const long length = FromEnvironment("KESDATAGRAPH_MODEL_OPERATIONS", 200);
    HarnessTotals totals;
    long failures = 0;
    long sequencesRun = 0;
    for (long seed = firstSeed; seed < firstSeed + sequences && failures < 5; ++seed) {
        RandomChoices choices(static_cast<std::uint32_t>(seed));
        ModelHarness harness(choices);
        try {
            for (long step = 0; step < length; ++step) {
                harness.Step();
            }
            harness.CompareEverything();
            for (const Graph* graph : harness.Graphs()) {
                const std::string violation = FindInvariantViolation(*graph);
                if (!violation.empty()) {
                    throw ModelMismatch("invariant broken: " + violation);
                }
            }
        } catch (const std::exception& e) {
            ++failures;
            ADD_FAILURE() << "seed " << seed << ": " << e.what() << "\nlast operations:\n"
                          << Tail(harness.Log(), 25);
        }
        totals += harness.Totals();
        ++sequencesRun;
    }
    std::cout << "model-based sequences: " << sequencesRun << " sequences, " << totals.operations
              << " operations, " << totals.refusals << " refusals checked, " << totals.traversals
              << " traversals (" << totals.traversalsRefused << " refused by the order), "
              << totals.nodeExecutions << " node executions, " << totals.absorbedFailures
              << " absorbed node failures checked, " << totals.hostileCallbacks
              << " hostile host callbacks followed" << std::endl;
    // Guards against a generator that quietly stops reaching the interesting cases.
    if (sequences >= 100 && length >= 100) {
        EXPECT_GT(totals.refusals, totals.operations / 10);
        EXPECT_GT(totals.absorbedFailures, sequences / 10);
        EXPECT_GT(totals.nodeExecutions, totals.traversals / 4);
        EXPECT_GT(totals.hostileCallbacks, sequences);
    }
}

} // namespace
} // namespace datagraph::reliability
