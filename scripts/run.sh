#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvane Test on its built-in
# simulated receivers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)" --target corvane-test
exec build-release/app/corvane-test "$@"
