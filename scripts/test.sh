#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers, starts a private
# MariaDB server and the ODBC data source, and runs every test.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$repo/scripts/packages.sh"
vesk_install_packages "${vesk_build_packages[@]}" "${vesk_test_packages[@]}"

build="$repo/build/test"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON -DVESK_WERROR=ON \
    -DVESK_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

services=$(mktemp -d /tmp/vesk-services.XXXXXX)
cleanup() { "$repo/scripts/test-services.sh" stop "$services" >/dev/null 2>&1 || true; rm -rf "$services"; }
trap cleanup EXIT
"$repo/scripts/test-services.sh" start "$services"
# shellcheck disable=SC1091
. "$services/env.sh"

ctest --test-dir "$build" --output-on-failure -j2 --timeout 900
# With Clang present, each fuzz target runs for about 20 seconds.
if command -v clang++-14 >/dev/null || command -v clang++ >/dev/null; then "$repo/scripts/fuzz.sh" smoke 20; fi
