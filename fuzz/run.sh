#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, in build-fuzz) when needed and runs each
# for SECONDS (default 60). New inputs go to build-fuzz/corpus/<target>, the
# seeds in fuzz/corpus/<target> are only read; a crashing input is written to
# build-fuzz/artifacts/ and the script fails.
#
#   fuzz/run.sh 600                 # ten minutes per target
#   fuzz/run.sh 60 profile          # one target
#
# CORVANE_FUZZ_SEED fixes libFuzzer's seed (CI uses one, so a red run can be
# repeated); unset, every run takes a new one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(text_to_int32 leading_number profile driver_store)
fi
build="${CORVANE_FUZZ_BUILD_DIR:-build-fuzz}"
jobs="${CORVANE_FUZZ_JOBS:-2}"

if [[ ! -f "$build/build.ninja" ]]; then
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_WERROR=ON >/dev/null
fi
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$build/artifacts"
status=0
for t in "${targets[@]}"; do
    dict=fuzz/json.dict
    if [[ "$t" == text_to_int32 || "$t" == leading_number ]]; then
        dict=fuzz/number.dict
    fi
    # The driver store says on stderr what is wrong with each refused file;
    # closing the target's stderr keeps that out (libFuzzer and the
    # sanitizers still report on their own copy of it).
    # It also writes a file per input: in memory when there is a tmpfs.
    extra=()
    tmp="${TMPDIR:-/tmp}"
    if [[ "$t" == driver_store ]]; then
        extra+=(-close_fd_mask=2)
        if [[ -d /dev/shm && -w /dev/shm ]]; then
            tmp=/dev/shm
        fi
    fi
    mkdir -p "$build/corpus/$t"
    echo "== fuzz_$t for ${seconds}s"
    if ! TMPDIR="$tmp" "$build/fuzz/fuzz_$t" "$build/corpus/$t" "fuzz/corpus/$t" -dict="$dict" \
        -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
        -seed="${CORVANE_FUZZ_SEED:-0}" \
        -artifact_prefix="$build/artifacts/$t-" -print_final_stats=1 "${extra[@]}" \
        2>"$build/fuzz_$t.log"; then
        status=1
        tail -n 60 "$build/fuzz_$t.log"
        echo "fuzz_$t FAILED; input kept in $build/artifacts/"
    fi
    grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$build/fuzz_$t.log" || true
done
exit "$status"
