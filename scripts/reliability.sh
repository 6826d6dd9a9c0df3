#!/usr/bin/env bash
# Reliability checks for CI. Builds everything with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (LeakSanitizer comes with the former), runs the whole test suite there,
# prints the totals of the model-based sequences and the fault injection, then runs each fuzz
# target for a bounded time. Any test failure, leak, invalid access, undefined behaviour or fuzz
# finding fails the script. Installs clang and its sanitizer runtimes when they are missing.
#
#   KESDATAGRAPH_FUZZ_SECONDS      time per fuzz target (default 60)
#   KESDATAGRAPH_RELIABILITY_DIR   build directory (default build-reliability)
#   KESDATAGRAPH_WHOLE_SUITE=0     skip the whole test suite (when another step already runs it
#                                  under LeakSanitizer); the reliability tests run regardless
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KESDATAGRAPH_RELIABILITY_DIR:-$root/build-reliability}
fuzz_seconds=${KESDATAGRAPH_FUZZ_SECONDS:-60}
whole_suite=${KESDATAGRAPH_WHOLE_SUITE:-1}
jobs=$(nproc)

"$root/scripts/install-dependencies.sh" clang-14 libclang-rt-14-dev

echo "=== Build with clang, sanitizers and fuzz targets"
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DKESDATAGRAPH_BUILD_TESTS=ON -DKESDATAGRAPH_BUILD_FUZZERS=ON \
    -DKESDATAGRAPH_WARNINGS_AS_ERRORS=ON \
    "-DCMAKE_CXX_FLAGS=$sanitizers -fsanitize=fuzzer-no-link" \
    "-DCMAKE_EXE_LINKER_FLAGS=$sanitizers" \
    "-DCMAKE_SHARED_LINKER_FLAGS=$sanitizers" \
    "-DCMAKE_MODULE_LINKER_FLAGS=$sanitizers"
if ((whole_suite)); then
    cmake --build "$build" --parallel "$jobs"
else
    cmake --build "$build" --parallel "$jobs" \
        --target reliability_tests edit_history_model_tests guid_fuzzer graph_operations_fuzzer
fi
echo "built in $SECONDS s"

export ASAN_OPTIONS=detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "=== Model-based sequences and fault injection"
reliability_tests=$(find "$build" -type f -name reliability_tests -perm -u+x | head -n 1)
"$reliability_tests" --gtest_brief=1
edit_history_model_tests=$(find "$build" -type f -name edit_history_model_tests -perm -u+x | head -n 1)
"$edit_history_model_tests" --gtest_brief=1

if ((whole_suite)); then
    echo "=== The whole test suite under the sanitizers"
    ctest --test-dir "$build" --output-on-failure --parallel "$jobs" \
        --exclude-regex '^(ModelBasedTest|FaultInjectionTest|EditHistoryModelTest|EditHistoryAllocationTest)\.'
fi
echo "tested after $SECONDS s"

echo "=== Fuzzing, ${fuzz_seconds} s per target"
# The fuzz targets run with leak and initialisation-order detection but without the detection of
# stack use after return, which gives every call a heap-allocated frame and would cost about a
# quarter of the executions; the suites above run with it and exercise the same code paths.
export ASAN_OPTIONS=detect_leaks=1:strict_init_order=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An input of the graph operations target is a whole operation sequence of at most 64 operations
# (about five bytes each); the entropic schedule's bookkeeping would cost most of its executions.
declare -A options=([guid]="" [graph_operations]="-max_len=320 -entropic=0")
for target in guid graph_operations; do
    fuzzer=$(find "$build" -type f -name "${target}_fuzzer" -perm -u+x | head -n 1)
    mkdir -p "$work/$target"
    # New inputs go to the scratch directory; the seed corpus in the tree is only read.
    # shellcheck disable=SC2086
    if ! "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=1 ${options[$target]} \
        -artifact_prefix="$work/$target-" "$work/$target" "$root/fuzz/corpus/$target" \
        >"$work/$target.log" 2>&1; then
        tail -n 60 "$work/$target.log"
        for artifact in "$work/$target"-*; do
            [[ -e $artifact ]] && echo "finding: $artifact ($(base64 -w0 "$artifact"))"
        done
        echo "fuzz target $target found a fault" >&2
        exit 1
    fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
    echo "fuzz target $target: ${executions:-?} executions, no findings"
done
echo "reliability checks passed in $SECONDS s"
