#!/usr/bin/env bash
# Installs what is missing (Graphviz included), builds the library and the demo host program in
# build/, and runs it; the demo leaves its picture of the graph in build/budget.svg.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build

"$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESDATAGRAPH_BUILD_EXAMPLES=ON -DKESDATAGRAPH_WARNINGS_AS_ERRORS=ON
cmake --build "$build" --parallel "$(nproc)" --target kesdatagraph_demo
"$build/examples/kesdatagraph_demo" "$build"
