#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing kesdatagraph needs, if any is missing,
# together with any further packages named as arguments (the benchmark and reliability scripts
# name theirs), or with --only just the packages named. Uses sudo when not run as root; touches nothing when everything is already there.
set -euo pipefail

# `--only PACKAGE...` checks and installs just the packages named (the demo needs no test tools).
if [[ ${1:-} == --only ]]; then
    shift
    packages=("$@")
else
packages=(
    g++ cmake make binutils
    libboost-dev
    qtbase5-dev qtbase5-dev-tools
    libgtest-dev libgmock-dev googletest
    libbenchmark-dev
    doxygen graphviz pkg-config
    "$@"
)
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [[ $status != "install ok installed" ]]; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

if ! command -v apt-get >/dev/null; then
    echo "install-dependencies.sh: apt-get not found; please install: ${missing[*]}" >&2
    exit 1
fi

as_root=()
if ((EUID != 0)); then
    if ! command -v sudo >/dev/null; then
        echo "install-dependencies.sh: run as root or install sudo, to install: ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi

echo "Installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
