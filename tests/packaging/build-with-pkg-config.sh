#!/usr/bin/env bash
# Usage: build-with-pkg-config.sh PKG-CONFIG CXX PREFIX SOURCE PROGRAM [FLAGS]
#
# Compiles and links SOURCE with nothing but what `pkg-config kesdatagraph` says about the
# package installed in PREFIX (C++17 and the run path included), then runs it without
# LD_LIBRARY_PATH. FLAGS are the main build's compiler and linker
# flags, so that a sanitizer build stays consistent.
set -euo pipefail

pkg_config=$1
cxx=$2
prefix=$3
source=$4
program=$5
extra_flags=${6:-}

pc_file=$(find "$prefix" -name kesdatagraph.pc -print -quit)
if [[ -z $pc_file ]]; then
    echo "no kesdatagraph.pc under $prefix" >&2
    exit 1
fi
export PKG_CONFIG_LIBDIR=${pc_file%/*}
unset PKG_CONFIG_PATH
flags=$("$pkg_config" --cflags --libs kesdatagraph)
if [[ $flags != *"$prefix"* ]]; then
    echo "pkg-config points outside the moved prefix $prefix: $flags" >&2
    exit 1
fi

if [[ $flags != *"-std=c++17"* ]]; then
    echo "pkg-config does not ask for C++17: $flags" >&2
    exit 1
fi

# Only what pkg-config says: its flags must carry the run path as well.
# shellcheck disable=SC2086 # the flags are lists of words
"$cxx" $extra_flags "$source" -o "$program" $flags
unset LD_LIBRARY_PATH
output=$("$program")
echo "$output"
[[ $output == *"the graph computed 42"* ]]
