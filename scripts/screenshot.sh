#!/usr/bin/env bash
# Takes the pictures of the window used by the README and docs/: the program
# runs under its own Xvfb on its built-in simulated receivers, the first one
# (HF) is connected and taken under remote control with the keyboard, as an
# operator would, and the window is captured once its indicator is green.
#
#   scripts/screenshot.sh                 # docs/window.png and docs/window-1.5x.png
#   scripts/screenshot.sh OUT.png [SCALE] # one picture, QT_SCALE_FACTOR=SCALE
#
# Uses build-release (the build scripts/run.sh makes) or CORVANE_BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
CORVANE_SHOT_DEPS=1 scripts/deps.sh
build="${CORVANE_BUILD_DIR:-build-release}"
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF \
        -DCORVANE_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target corvane-test >/dev/null
program="$PWD/$build/app/corvane-test"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses, and a screen at 96 dots per inch.
display=99
while [[ -e "/tmp/.X11-unix/X$display" || -e "/tmp/.X$display-lock" ]]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x800x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

# Counts the pixels of one exact colour in a picture.
count_colour() { # file colour
    convert "$1" -alpha off -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)]' info:
}

shoot() { # out scale
    local out=$1 scale=$2
    # An empty configuration folder: the default driver table, nothing saved.
    mkdir -p "$work/config-$scale"
    mkdir -p -m 700 "$work/runtime"
    XDG_CONFIG_HOME="$work/config-$scale" XDG_RUNTIME_DIR="$work/runtime" \
        QT_SCALE_FACTOR="$scale" "$program" \
        >"$work/app.log" 2>&1 &
    app_pid=$!
    local win
    win=$(xdotool search --sync --onlyvisible --name '^Corvane Test$' | head -1)
    xdotool windowfocus --sync "$win"
    sleep 0.5
    # Focus starts on Config Driver: two Tabs reach Connect, two more Remote.
    xdotool key --window "$win" Tab Tab space
    # The simulated receiver takes a moment to connect (yellow), then Remote.
    for _ in $(seq 50); do
        import -window "$win" "$work/shot.png"
        [[ $(count_colour "$work/shot.png" '#FFFF00') -gt 50 ]] && break
        sleep 0.1
    done
    xdotool key --window "$win" Tab Tab space
    # Move the focus on to the first list so no button shows a focus frame.
    xdotool key --window "$win" Tab Tab Tab
    local green=0
    for _ in $(seq 50); do
        sleep 0.1
        import -window "$win" "$work/shot.png"
        green=$(count_colour "$work/shot.png" '#00FF00')
        [[ $green -gt 50 ]] && break
    done
    if [[ $green -le 50 ]]; then
        echo "screenshot: the indicator did not turn green (scale $scale)" >&2
        cat "$work/app.log" >&2
        exit 1
    fi
    sleep 0.3 # let the S-meter show a reading
    import -window "$win" "$out"
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    # The picture is of a clean session: any error the program reported spoils it.
    if [[ -s "$work/app.log" ]]; then
        echo "screenshot: the program reported something (scale $scale):" >&2
        cat "$work/app.log" >&2
        exit 1
    fi
    local size
    size=$(identify -format '%wx%h' "$out")
    echo "$out: $size, $(count_colour "$out" '#00FF00') pixels of exact green (0,255,0)"
}

if [[ $# -ge 1 ]]; then
    shoot "$1" "${2:-1}"
else
    shoot docs/window.png 1
    shoot docs/window-1.5x.png 1.5
fi
