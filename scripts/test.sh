#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
# Under CI=true warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
werror=OFF
if [[ "${CI:-}" == true ]]; then
    werror=ON
fi
build="${CORVANE_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_WERROR="$werror" ${CORVANE_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" ${CORVANE_CTEST_ARGS:-}
