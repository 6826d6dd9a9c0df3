// Reads the input as a sequence of graph operations (each byte answers one of the operation
// generator's questions) and runs it on two graphs and their models. Every operation must end as
// the model says, the graph store's invariants must hold after each, and every query must match
// the model at the end; any difference, and any crash, is a finding. (The model-based suite
// compares every query after every operation; here that would cost most of the executions.)

#include "GraphInvariants.h"
#include "ModelHarness.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

constexpr long kMaxOperations = 200;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace datagraph::reliability;
    ByteChoices choices(data, size);
    ModelHarness harness(choices);
    harness.CompareAfterEachStep(false);
    try {
        while (!choices.Exhausted() && harness.Totals().operations < kMaxOperations) {
            harness.Step();
            for (const datagraph::Graph* graph : harness.Graphs()) {
                const std::string violation = FindInvariantViolation(*graph);
                if (!violation.empty()) {
                    throw ModelMismatch("invariant broken: " + violation);
                }
            }
        }
        harness.CompareEverything();
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
