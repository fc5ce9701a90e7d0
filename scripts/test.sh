#!/usr/bin/env bash
# Installs what is needed, builds the sanitizer test tree, runs every test, then runs each fuzz
# target for 10 s (scripts/fuzz.sh).
#
#   scripts/test.sh [ctest args]       the test command (what CI runs)
#   scripts/test.sh tsan [ctest args]  ThreadSanitizer build (build-tsan/) of the threaded parts
#                                      and their tests; too slow for the test command
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mode=all
if [[ ${1:-} == tsan ]]; then
    mode=tsan
    shift
fi
scripts/install-deps.sh

# failed_cases JUNIT: one line per failed case, "tracer<TAB>name" when its output carries
# LeakSanitizer's tracer crash, "fault<TAB>name" otherwise.
failed_cases() {
    /usr/bin/python3 - "$1" <<'EOF'
import sys, xml.etree.ElementTree as ET
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    if case.get("status") != "fail":
        continue
    out = "".join(e.text or "" for e in case.iter("system-out"))
    kind = "tracer" if "Tracer caught signal" in out else "fault"
    print(f"{kind}\t{case.get('name')}")
EOF
}

# run_cases DIR [ctest args]: runs the cases of one build tree. A failed case is run once more
# only when its output carries "Tracer caught signal" (LeakSanitizer's exit-time scan crashing
# after the case itself passed); any other failure fails the run at once.
run_cases() {
    local dir=$1
    shift
    local junit=$root/$dir/Testing/cases.xml
    rm -f "$junit"
    set +e
    ctest --test-dir "$dir" -j2 --output-on-failure --timeout 300 --test-output-size-failed 2000000 \
        --output-junit "$junit" "$@"
    local rc=$?
    set -e
    [[ $rc == 0 ]] && return 0
    [[ -f $junit ]] || return $rc
    local lines
    lines=$(failed_cases "$junit")
    [[ -n $lines ]] || return $rc
    if grep -q '^fault' <<<"$lines"; then
        echo "failed (not rerun): $(grep '^fault' <<<"$lines" | cut -f2 | tr '\n' ' ')"
        return $rc
    fi
    local regex
    regex=$(cut -f2 <<<"$lines" | /usr/bin/python3 -c 'import re,sys; print("^(" + "|".join(re.escape(l.strip()) for l in sys.stdin if l.strip()) + ")$")')
    echo "rerunning after LeakSanitizer's tracer crash: $(cut -f2 <<<"$lines" | tr '\n' ' ')"
    ctest --test-dir "$dir" --output-on-failure --timeout 300 -R "$regex"
}

if [[ $mode == tsan ]]; then
    # The threaded parts: serial ports, log follower, capture and camera workers, scanner
    # reader, print service and writer, voice player, the background-call pool, Thread.
    export CCACHE_BASEDIR=$root
    dir=build-tsan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DTENDRIX_TSAN=ON -DTENDRIX_BENCH=OFF)
    command -v ccache >/dev/null && flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    start=$(date +%s)
    cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)" --target test_common test_voice test_printing test_capture test_input test_ui
    echo "build: $(( $(date +%s) - start )) s"
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"
    # OpenCV's thread pool (TBB) synchronises in code the race checker cannot see.
    export OPENCV_FOR_THREADS_NUM=1
    start=$(date +%s)
    rc=0
    for sub in common voice printing capture input ui; do
        # setarch -R: the ThreadSanitizer runtime cannot map its shadow under full address
        # randomisation on recent kernels.
        setarch "$(uname -m)" -R ctest --test-dir "$dir/tests/$sub" -j2 --output-on-failure \
            --timeout 600 "$@" || rc=1
    done
    echo "tests: $(( $(date +%s) - start )) s"
    exit $rc
fi

start=$(date +%s)
scripts/build.sh test
echo "build: $(( $(date +%s) - start )) s"
start=$(date +%s)
rc=0
run_cases build-test "$@" || rc=1
echo "tests: $(( $(date +%s) - start )) s"
start=$(date +%s)
scripts/fuzz.sh 10 || rc=1
echo "fuzz: $(( $(date +%s) - start )) s"
exit $rc
