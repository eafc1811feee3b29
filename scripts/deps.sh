#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build needs, only when some are
# missing. Never asks anything: safe under CI=true.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libhamlib-dev libhamlib-utils
    xvfb xauth
)
if [[ "${CORVANE_FORMAT_DEPS:-0}" == 1 ]]; then
    packages+=(clang-format)
fi
if [[ "${CORVANE_FUZZ_DEPS:-0}" == 1 ]]; then
    packages+=(clang libclang-rt-14-dev)
fi
if [[ "${CORVANE_PACKAGE_DEPS:-0}" == 1 ]]; then
    # packaging/check-deb.sh: dpkg-shlibdeps and dpkg-buildflags, the checks.
    packages+=(dpkg-dev desktop-file-utils lintian file)
fi
if [[ "${CORVANE_SHOT_DEPS:-0}" == 1 ]]; then
    # scripts/screenshot.sh: a real window manager, and reading window frames.
    packages+=(xdotool imagemagick x11-utils openbox)
fi
if [[ "${CORVANE_A11Y_DEPS:-0}" == 1 ]]; then
    # tests/a11y/run.sh: the accessibility bus and a client that reads it.
    packages+=(at-spi2-core python3-pyatspi dbus dbus-x11 openbox)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
