#!/usr/bin/env bash
# Process start to window shown (whole process, exit included), and peak memory, of the program's window and
# of a bare Qt window that shows a label and a button, under one Xvfb, alternating runs; prints medians, and
# the median of the pairs' ratios (each pair ran back to back, so a load that comes and goes cancels out).
# Usage: bench/startup.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?build dir}
runs=${2:-21}
display=:97
Xvfb $display -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
export DISPLAY=$display XDG_CONFIG_HOME=$(mktemp -d)
declare -A times mems
ratios=""
for ((i = 0; i < runs; i++)); do
    declare -A took
    for prog in startup_window startup_bare; do
        start=$(date +%s%N)
        hwm=$("$build/bench/$prog" 2>&1 >/dev/null | awk '/VmHWM/ {print $2}')
        end=$(date +%s%N)
        took[$prog]=$(( (end - start) / 1000 ))
        times[$prog]+="${took[$prog]} "
        mems[$prog]+="$hwm "
    done
    ratios+="$(awk -v w="${took[startup_window]}" -v b="${took[startup_bare]}" 'BEGIN {printf "%.3f", w / b}') "
done
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for prog in startup_window startup_bare; do
    t=$(echo "${times[$prog]}" | median)
    m=$(echo "${mems[$prog]}" | median)
    echo "$prog: median ${t} us to shown, median peak RSS ${m} KiB ($runs runs)"
done
echo "window / bare: median of the pairs' ratios $(echo "$ratios" | tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"
