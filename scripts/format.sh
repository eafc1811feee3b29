#!/usr/bin/env bash
# Formats every C++ file of the project as .clang-format says; with --check,
# changes nothing and fails listing the files that differ.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
    CORVANE_FORMAT_DEPS=1 scripts/deps.sh
fi
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [[ "${1:-}" == --check ]]; then
    clang-format --dry-run -Werror "${files[@]}"
else
    clang-format -i "${files[@]}"
fi
