#!/usr/bin/env bash
# Installs what the demo needs if missing (the compiler, CMake, Boost, Qt 5 Core and Graphviz; no
# test tools), builds the library and the demo host program in build/, and runs it; the demo
# leaves its picture of the graph in build/budget.svg.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build

"$root/scripts/install-dependencies.sh" --only g++ cmake make libboost-dev qtbase5-dev \
    qtbase5-dev-tools graphviz
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESDATAGRAPH_BUILD_EXAMPLES=ON -DKESDATAGRAPH_WARNINGS_AS_ERRORS=ON \
    -DKESDATAGRAPH_BUILD_TESTS=OFF
cmake --build "$build" --parallel "$(nproc)" --target kesdatagraph_demo
"$build/examples/kesdatagraph_demo" "$build"
