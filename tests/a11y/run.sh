#!/usr/bin/env bash
# Runs the program under Xvfb with its own session and accessibility bus and
# reads its window over AT-SPI (tests/a11y/read_window.py).
#
#   tests/a11y/run.sh PROGRAM
#
# Needs at-spi2-core, python3-pyatspi, dbus, openbox and xvfb (CORVANE_A11Y_DEPS=1
# scripts/deps.sh installs them).
set -euo pipefail
program=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
if [[ -z "${CORVANE_A11Y_INNER:-}" ]]; then
    CORVANE_A11Y_INNER=1 exec xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" \
        dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)
app_pid=""
bus_pid=""
wm_pid=""
cleanup() {
    [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
    [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
    [[ -n "$bus_pid" ]] && kill "$bus_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [[ -x "$candidate" ]] && launcher=$candidate && break
done
if [[ -z "$launcher" ]]; then
    echo "a11y: at-spi-bus-launcher not found (install at-spi2-core)" >&2
    exit 1
fi
"$launcher" --launch-immediately &
bus_pid=$!
# A window manager activates the window, as on a desktop: focus moves between
# its controls only then.
openbox >"$work/openbox.log" 2>&1 &
wm_pid=$!
sleep 1

# The default driver table in an empty configuration folder; Qt's bridge on.
mkdir -p -m 700 "$work/runtime"
# The trace shows what the reading's actions sent to the receivers.
export CORVANE_A11Y_TRACE="$work/trace.txt"
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" CORVANE_TRACE="$CORVANE_A11Y_TRACE" \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$program" >"$work/app.log" 2>&1 &
app_pid=$!
status=0
/usr/bin/python3 "$here/read_window.py" "$(basename "$program")" || status=$?
# The refused entry is the one error the reading may cause.
if grep 'Run-time error' "$work/app.log" | grep -vq '^Freq_Validate: Run-time error 13'; then
    echo "a11y: the program reported an error the reading did not ask for" >&2
    status=1
fi
if [[ $status -ne 0 ]]; then
    cat "$work/app.log" >&2
fi
exit $status
