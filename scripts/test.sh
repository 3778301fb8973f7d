#!/usr/bin/env bash
# Installs what is missing, compiles the Windows code with mingw-w64, builds
# with the sanitizers (GCC) and with Clang, makes the Debian package and checks
# it, runs each fuzz target briefly, starts a private MariaDB server and the
# ODBC data source, and runs every test on both builds.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$repo/scripts/packages.sh"
vesk_install_packages "${vesk_build_packages[@]}" "${vesk_test_packages[@]}" \
    "${vesk_package_packages[@]}" "${vesk_compiler_packages[@]}"

# Runs one step (a name, then the command) and says how long it took.
timed() {
    local name=$1 start=$SECONDS
    shift
    "$@"
    echo "test.sh: $name took $((SECONDS - start)) s"
}

timed "the Windows check" "$repo/scripts/check-windows.sh"

build="$repo/build/test"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON -DVESK_WERROR=ON \
    -DVESK_BUILD_BENCH=ON >/dev/null
timed "the GCC build" cmake --build "$build" -j"$(nproc)"

# The second compiler, where there is one.
clang_build=""
if command -v clang++-14 >/dev/null || command -v clang++ >/dev/null; then
    clang_build="$repo/build/clang"
    timed "the Clang build" "$repo/scripts/build-clang.sh" "$clang_build"
else
    echo "test.sh: no clang++, so no Clang build"
fi

timed "the package" "$repo/scripts/package.sh"
timed "the package check" "$repo/scripts/check-package.sh"

# With Clang present, each fuzz target runs for about 20 seconds.
if [ -n "$clang_build" ]; then
    timed "the fuzz smoke" "$repo/scripts/fuzz.sh" smoke 20
fi

services=$(mktemp -d /tmp/vesk-services.XXXXXX)
cleanup() { "$repo/scripts/test-services.sh" stop "$services" >/dev/null 2>&1 || true; rm -rf "$services"; }
trap cleanup EXIT
"$repo/scripts/test-services.sh" start "$services"
# shellcheck disable=SC1091
. "$services/env.sh"

if [ -n "$clang_build" ]; then
    timed "the tests of the Clang build" \
        ctest --test-dir "$clang_build" --output-on-failure -j2 --timeout 900
fi
ctest --test-dir "$build" --output-on-failure -j2 --timeout 900
