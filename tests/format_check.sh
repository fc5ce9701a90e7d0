#!/usr/bin/env bash
# Every C++ source of the checkout is formatted with the project's .clang-format.
#   format_check.sh SOURCE_DIR        (exit 77: no git checkout or no clang-format here)
set -euo pipefail
cd "$1"
command -v clang-format >/dev/null || { echo "SKIP: clang-format is not installed"; exit 77; }
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "SKIP: not a git checkout"; exit 77; }
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "formatted: $(git ls-files '*.cpp' '*.h' | wc -l) files"
