#!/usr/bin/env bash
# Installs what is missing, builds the library with its tests (warnings are errors) in build/,
# and runs the whole test suite.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
jobs=$(nproc)

"$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESDATAGRAPH_BUILD_TESTS=ON -DKESDATAGRAPH_WARNINGS_AS_ERRORS=ON
cmake --build "$build" --parallel "$jobs"
ctest --test-dir "$build" --output-on-failure --parallel "$jobs"
