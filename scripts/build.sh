#!/usr/bin/env bash
# Configures and builds one tree. Usage: scripts/build.sh [release|test]
#   release -> build/       optimised program, tools and benchmarks (no tests)
#   test    -> build-test/  the test build: AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
case "$kind" in
    release) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTENDRIX_SANITIZE=OFF -DTENDRIX_TESTS=OFF) ;;
    test)    dir=build-test; flags=(-DCMAKE_BUILD_TYPE=Debug -DTENDRIX_SANITIZE=ON -DTENDRIX_BENCH=OFF) ;;
    *) echo "usage: $0 [release|test]" >&2; exit 2 ;;
esac
# ccache (when installed) lets several build trees of one checkout share compiled objects.
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=$PWD
    flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
dir=${TENDRIX_BUILD_DIR:-$dir}
cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
