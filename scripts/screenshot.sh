#!/usr/bin/env bash
# Takes the pictures of the window used by the README and docs/: the program
# runs under its own Xvfb with a real window manager (openbox) on its built-in
# simulated receivers, the first one (HF) is connected and taken under remote
# control with the keyboard, as an operator would, and the window is captured
# once its indicator is green. A second picture shows a refused entry with its
# error report beside the window; the script fails if the report's frame
# overlaps the window's.
#
#   scripts/screenshot.sh                 # docs/window{,-1.5x}.png, docs/refused{,-1.5x}.png
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
wm_pid=""
app_pid=""
cleanup() {
    [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
    [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
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
# A window manager frames and places the windows as on a desktop.
openbox >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

# Counts the pixels of one exact colour in a picture.
count_colour() { # file colour
    convert "$1" -alpha off -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)]' info:
}

start() { # scale
    local scale=$1
    # An empty configuration folder: the default driver table, nothing saved.
    rm -rf "$work/config"
    mkdir -p "$work/config"
    mkdir -p -m 700 "$work/runtime"
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
        QT_SCALE_FACTOR="$scale" "$program" \
        >"$work/app.log" 2>&1 &
    app_pid=$!
    win=$(xdotool search --sync --onlyvisible --name '^Corvane Test$' | head -1)
    xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
    sleep 0.5
}

stop() {
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

# A window's frame on the screen as "x y width height": its client area, where
# the X server puts it, grown by the frame the window manager drew around it.
frame_of() { # window
    local l r t b
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    xwininfo -id "$1" | awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" '
        /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF }
        END { print x - l, y - t, w + l + r, h + t + b }'
}

shoot() { # out scale
    local out=$1 scale=$2
    start "$scale"
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
    stop
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

refused() { # out scale
    local out=$1 scale=$2
    start "$scale"
    # Focus starts on Config Driver: six Tabs reach Freq. A frequency typed
    # with its unit is no number; Tab sends it, and it is refused.
    xdotool key --window "$win" Tab Tab Tab Tab Tab Tab
    xdotool type --window "$win" "14.2 MHz"
    xdotool key --window "$win" Tab
    local report=""
    for _ in $(seq 50); do
        report=$(xdotool search --onlyvisible --name '^Corvane Test$' | grep -vx "$win" | head -1 || true)
        [[ -n "$report" ]] && break
        sleep 0.1
    done
    if [[ -z "$report" ]]; then
        echo "screenshot: no report appeared (scale $scale)" >&2
        cat "$work/app.log" >&2
        exit 1
    fi
    sleep 0.5 # the window manager has framed and placed it
    local wx wy ww wh rx ry rw rh
    read -r wx wy ww wh < <(frame_of "$win")
    read -r rx ry rw rh < <(frame_of "$report")
    echo "window frame ${ww}x${wh}+${wx}+${wy}, report frame ${rw}x${rh}+${rx}+${ry}"
    if ((rx < wx + ww && wx < rx + rw && ry < wy + wh && wy < ry + rh)); then
        echo "screenshot: the report's frame overlaps the window's (scale $scale)" >&2
        exit 1
    fi
    if [[ "$(xdotool getactivewindow)" != "$win" ]]; then
        echo "screenshot: the report took the focus (scale $scale)" >&2
        exit 1
    fi
    # Both frames with a margin, as one picture of the screen.
    local margin=12
    local x0=$((wx < rx ? wx : rx)) y0=$((wy < ry ? wy : ry))
    local x1=$((wx + ww > rx + rw ? wx + ww : rx + rw)) y1=$((wy + wh > ry + rh ? wy + wh : ry + rh))
    x0=$((x0 > margin ? x0 - margin : 0)) y0=$((y0 > margin ? y0 - margin : 0))
    import -window root -crop "$((x1 - x0 + margin))x$((y1 - y0 + margin))+$x0+$y0" +repage "$out"
    stop
    # The one line the program wrote is the report's.
    if [[ "$(wc -l <"$work/app.log")" -ne 1 ]] || ! grep -q '^Freq_Validate: Run-time error 13' "$work/app.log"; then
        echo "screenshot: unexpected program output (scale $scale):" >&2
        cat "$work/app.log" >&2
        exit 1
    fi
    echo "$out: $(identify -format '%wx%h' "$out")"
}

if [[ $# -ge 1 && "$1" == refused:* ]]; then
    refused "${1#refused:}" "${2:-1}"
elif [[ $# -ge 1 ]]; then
    shoot "$1" "${2:-1}"
else
    shoot docs/window.png 1
    shoot docs/window-1.5x.png 1.5
    refused docs/refused.png 1
    refused docs/refused-1.5x.png 1.5
fi
