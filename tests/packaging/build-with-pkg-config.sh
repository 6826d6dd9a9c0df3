#!/usr/bin/env bash
# Usage: build-with-pkg-config.sh PKG-CONFIG CXX PREFIX SOURCE PROGRAM [FLAGS]
#
# Compiles and links SOURCE with nothing but what `pkg-config kesdatagraph` says about the
# package installed in PREFIX, then runs it. FLAGS are the main build's compiler and linker
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
libdir=$("$pkg_config" --variable=libdir kesdatagraph)
if [[ $flags != *"$prefix"* ]]; then
    echo "pkg-config points outside the moved prefix $prefix: $flags" >&2
    exit 1
fi

# shellcheck disable=SC2086 # the flags are lists of words
"$cxx" $extra_flags "$source" -o "$program" $flags -Wl,-rpath,"$libdir"
unset LD_LIBRARY_PATH
output=$("$program")
echo "$output"
[[ $output == *"the graph computed 42"* ]]
