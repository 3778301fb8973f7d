#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with Clang and runs them:
#   scripts/fuzz.sh build                 configure and build build/fuzz
#   scripts/fuzz.sh smoke [SECONDS]       build, then each target for SECONDS (default 20)
#   scripts/fuzz.sh run N [TARGET...]     build, then each target (or those named) for N inputs
# Each target starts from its seeds in tests/fuzz/corpus/<target> and keeps what it
# finds in build/fuzz/corpus/<target>; a crashing input lands in build/fuzz/crashes/
# and the script fails. Logs: build/fuzz/logs/<target>.log. Runs at nice 19, on
# the CPU time nothing else wants.
# VESK_FUZZ_FLAGS adds libFuzzer options, e.g. "-max_total_time=3600" to cap a run.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$repo/scripts/packages.sh"

build="$repo/build/fuzz"
seeds="$repo/tests/fuzz/corpus"
targets=(convertsql fieldreader connectionconfig setupdic leadingnumber password pictures)

# Longest input per target: a query, a settings file, a number, a password, a small picture.
max_len() {
    case $1 in
    leadingnumber | password) echo 256 ;;
    connectionconfig) echo 2048 ;;
    pictures) echo 8192 ;;
    *) echo 4096 ;;
    esac
}

usage() {
    echo "usage: $0 build | smoke [SECONDS] | run N [TARGET...]" >&2
    exit 2
}

build_targets() {
    vesk_install_packages "${vesk_build_packages[@]}" "${vesk_fuzz_packages[@]}"
    local cxx launcher=()
    cxx=$(command -v clang++-14 || command -v clang++) || {
        echo "fuzz: clang++ not found" >&2
        exit 1
    }
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$repo" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS=-O1 -DVESK_FUZZ=ON -DVESK_WERROR=ON -DVESK_BUILD_TESTS=OFF \
        -DVESK_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
}

# The targets write their input to a file on every run: keep those in memory
# where possible, since a disk file truncated and closed is flushed each time.
scratch_dir() {
    local parent=/dev/shm
    [ -d "$parent" ] && [ -w "$parent" ] || parent="$build"
    scratch=$(mktemp -d "$parent/vesk-fuzz.XXXXXX")
    trap 'rm -rf "$scratch"' EXIT
}

# run_target NAME LIBFUZZER-OPTIONS...
run_target() {
    local name=$1
    shift
    local corpus="$build/corpus/$name" log="$build/logs/$name.log"
    mkdir -p "$corpus" "$build/crashes" "$build/logs"
    local timeout=10
    [ "$name" = pictures ] && timeout=30
    if ! TMPDIR="$scratch" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        nice -n 19 "$build/tests/fuzz/fuzz_$name" "$corpus" "$seeds/$name" \
        -max_len="$(max_len "$name")" -timeout="$timeout" \
        -print_final_stats=1 -artifact_prefix="$build/crashes/$name-" "$@" >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "fuzz: $name failed; input and log in $build/crashes, $log" >&2
        return 1
    fi
    local runs rate
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz: $name ok, $runs inputs, $rate per second, $(grep -o 'cov: [0-9]*' "$log" | tail -n 1)"
}

[ $# -ge 1 ] || usage
scratch_dir
case $1 in
build)
    build_targets
    ;;
smoke)
    seconds=${2:-20}
    build_targets
    failed=0
    for t in "${targets[@]}"; do
        # shellcheck disable=SC2086 # one word per option
        run_target "$t" -max_total_time="$seconds" ${VESK_FUZZ_FLAGS:-} || failed=1
    done
    exit "$failed"
    ;;
run)
    [ $# -ge 2 ] || usage
    runs=$2
    shift 2
    [ $# -gt 0 ] || set -- "${targets[@]}"
    build_targets
    failed=0
    for t in "$@"; do
        # shellcheck disable=SC2086 # one word per option
        run_target "$t" -runs="$runs" ${VESK_FUZZ_FLAGS:-} || failed=1
    done
    exit "$failed"
    ;;
*)
    usage
    ;;
esac
