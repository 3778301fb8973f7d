#!/usr/bin/env bash
# Builds every target with Clang, warnings as errors, without the sanitizers
# (the linux-clang preset), in the folder given (default build/clang). Clang 14
# is the version checked.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build/clang}
cxx=${VESK_CLANG_CXX:-$(command -v clang++-14 || command -v clang++ || true)}
[ -n "$cxx" ] || {
    echo "build-clang: no clang++ (package clang-14)" >&2
    exit 1
}
cd "$repo"
cmake --preset linux-clang -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DVESK_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
