#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# in build-fuzz/ and runs each for SECONDS (default 60), two at a time.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Exit status is non-zero when any target crashed; the crashing input is kept in
# build-fuzz/crashes/. Copy it into tests/fuzz/corpus/<target>/ once fixed: the ordinary test
# build replays that folder (test_fuzz_corpus).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true
dir=${TENDRIX_FUZZ_DIR:-build-fuzz}

flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++)
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$root
    flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
mkdir -p "$dir"
if ! { cmake -S tests/fuzz -B "$dir" -G Ninja "${flags[@]}" && cmake --build "$dir" -j "$(nproc)"; } \
    >"$dir/build.log" 2>&1; then
    tail -30 "$dir/build.log"
    echo "fuzz: the fuzz targets did not build ($dir/build.log)" >&2
    exit 1
fi

if [[ $# -gt 0 ]]; then
    targets=("$@")
else
    mapfile -t targets < <(ls "$dir" | sed -n 's/^fuzz_//p' | sort)
fi
mkdir -p "$dir/crashes" "$dir/work" "$dir/logs"

run_one() {
    local t=$1
    mkdir -p "$dir/work/$t"
    # The first folder collects what libFuzzer finds new; the stored corpus is only read.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$dir/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$dir/crashes/$t-" "$dir/work/$t" "tests/fuzz/corpus/$t" \
        >"$dir/logs/$t.log" 2>&1
}

rc=0
failed=()
pids=()
names=()
flush() {
    for i in "${!pids[@]}"; do
        if ! wait "${pids[$i]}"; then
            rc=1
            failed+=("${names[$i]}")
        fi
    done
    pids=()
    names=()
}
for t in "${targets[@]}"; do
    run_one "$t" &
    pids+=($!)
    names+=("$t")
    [[ ${#pids[@]} -ge 2 ]] && flush
done
flush

printf '%-18s %12s %10s\n' target execs exec/s
for t in "${targets[@]}"; do
    log=$dir/logs/$t.log
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    printf '%-18s %12s %10s\n' "$t" "${execs:--}" "${rate:--}"
done
for t in "${failed[@]}"; do
    echo "== $t crashed ($dir/logs/$t.log):"
    grep -m1 -A30 -E 'ERROR: |runtime error|fuzz check failed|deadly signal' "$dir/logs/$t.log" || tail -30 "$dir/logs/$t.log"
done
exit $rc
