#!/usr/bin/env bash
# Builds the program in Release and makes its Debian package in build/package.
# Prints the package's path on the last line.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$repo/scripts/packages.sh"
vesk_install_packages "${vesk_build_packages[@]}" "${vesk_package_packages[@]}"

build="$repo/build/package"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=OFF \
    -DVESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/*.deb
