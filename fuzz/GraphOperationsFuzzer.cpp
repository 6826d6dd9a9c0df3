// Reads the input as a sequence of graph operations (each byte answers one of the operation
// generator's questions) and runs it on two graphs and their models. Every operation must end as
// the model says, the graph store's own consistency check must pass after each, and every query
// must match the model at the end; any difference, and any crash, is a finding. (The model-based
// suite compares every query after every operation; here that would cost most of the executions.)
// Sequences are kept short: the model-based suite runs long ones, and many short inputs explore
// more of the library per second than a few long ones.

#include "GraphInvariants.h"
#include "ModelHarness.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

constexpr long kMaxOperations = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace datagraph::reliability;
    ByteChoices choices(data, size);
    ModelHarness harness(choices);
    harness.CompareAfterEachStep(false);
    try {
        // Each step checks the store's own invariants; the public queries are compared once.
        while (!choices.Exhausted() && harness.Totals().operations < kMaxOperations) {
            harness.Step();
        }
        harness.CompareEverything();
        for (const datagraph::Graph* graph : harness.Graphs()) {
            const std::string violation = FindInvariantViolation(*graph);
            if (!violation.empty()) {
                throw ModelMismatch("invariant broken: " + violation);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\nlast operations:\n", e.what());
        const auto& log = harness.Log();
        for (std::size_t i = log.size() > 30 ? log.size() - 30 : 0; i < log.size(); ++i) {
            std::fprintf(stderr, "  %s\n", log[i].c_str());
        }
        std::abort();
    }
    return 0;
}
