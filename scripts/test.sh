#!/usr/bin/env bash
# Installs what is needed, builds the sanitizer test tree and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
start=$(date +%s)
scripts/build.sh test
echo "build: $(( $(date +%s) - start )) s"
start=$(date +%s)
cd build-test
set +e
ctest -j2 --output-on-failure --timeout 300 "$@"
rc=$?
set -e
echo "tests: $(( $(date +%s) - start )) s"
exit $rc
