#!/usr/bin/env bash
# Runs the benchmark suite: the library against a hand-written baseline, oneTBB's flow graph and
# Boost.Graph, then the table of per-node figures and ratios with the targets each meets.
# Installs what is missing, builds optimised (-O2) in build-bench/, and takes the median of five
# repetitions, run in random order so that a busy spell of the machine spreads over every system
# instead of falling on one. Extra arguments go to the benchmark binary, for example
#   scripts/bench.sh --graphs=layered,chain --benchmark_repetitions=9
#   scripts/bench.sh --workloads=/elsewhere/workloads
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench
jobs=$(nproc)

"$root/scripts/install-dependencies.sh" libtbb-dev libboost-graph-dev

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
    -DKESDATAGRAPH_BUILD_BENCHMARKS=ON -DKESDATAGRAPH_BUILD_TESTS=OFF \
    -DKESDATAGRAPH_BUILD_EXAMPLES=OFF
cmake --build "$build" --parallel "$jobs" --target kesdatagraph_benchmarks

"$build/benchmarks/kesdatagraph_benchmarks" --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true "$@"
