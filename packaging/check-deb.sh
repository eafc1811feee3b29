#!/usr/bin/env bash
# Builds the Debian package in <build-dir> (Release, no tests or benchmarks,
# Debian's hardening flags) and checks it: its files, fields and
# permissions; the program from the package, found on PATH, starts headless
# on the four default drivers and keeps running; the desktop entry
# validates; lintian finds no error (its warnings are printed).
# Under CI=true warnings are errors.
#
#   packaging/check-deb.sh build-pkg
set -euo pipefail
if (($# != 1)); then
    echo "usage: $0 <build-dir>" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
build="$1"
started=$SECONDS

CORVANE_PACKAGE_DEPS=1 scripts/deps.sh

werror=OFF
if [[ "${CI:-}" == true ]]; then
    werror=ON
fi
# The flags Debian's own packages are built with (stack protector, fortified
# libc calls, read-only relocations bound at start-up), less -g and -O2: the
# binary is stripped and Release chooses the optimisation.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags=""
for f in $(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS); do
    if [[ "$f" != -g && "$f" != -O2 ]]; then
        cxxflags+="$f "
    fi
done
ldflags="$(dpkg-buildflags --get LDFLAGS)"

# Prefix /usr: the package's own, so the plugin goes where Debian keeps a
# program's private libraries (/usr/lib/<multiarch>/corvane-test).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr \
    -DCORVANE_WERROR="$werror" -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/corvane-test_*.deb
(cd "$build" && cpack -G DEB >/dev/null)

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/corvane-test_${version}_${arch}.deb"
if [[ ! -f "$deb" ]]; then
    echo "FAIL: cpack made no $deb:" >&2
    ls "$build"/*.deb >&2 || true
    exit 1
fi
echo "package: $deb, $(stat -c %s "$deb") bytes"
dpkg-deb --info "$deb" control

# --- fields
field() { dpkg-deb --field "$deb" "$1"; }
[[ "$(field Package)" == corvane-test ]] || fail "Package is '$(field Package)'"
[[ "$(field Version)" == "$version" ]] || fail "Version is '$(field Version)', the project is $version"
[[ "$(field Architecture)" == "$arch" ]] || fail "Architecture is '$(field Architecture)'"
[[ "$(field Section)" == hamradio ]] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" == "Corvane Dev <dev@corvane.invalid>" ]] || fail "Maintainer is '$(field Maintainer)'"
# The platform plugin for X11 is loaded at run time, so only the package's
# own Depends can pull it in: it must name the package this system's plugin
# comes from.
xcb_package=$(dpkg-query -S '*/qt6/plugins/platforms/libqxcb.so' 2>/dev/null | head -n1 | cut -d: -f1 || true)
if [[ -z "$xcb_package" ]]; then
    fail "no installed package holds Qt's xcb platform plugin (libqxcb.so)"
    xcb_package=libqt6gui6
fi
depends=$(field Depends)
for needed in libqt6widgets6 'libhamlib[0-9]+' "$xcb_package" libc6; do
    grep -Eq "(^|, )${needed}( |,|$)" <<<"$depends" || fail "Depends does not name $needed: $depends"
done
grep -Eq "(^|, )libhamlib-utils( |,|$)" <<<"$(field Recommends)" ||
    fail "Recommends does not name libhamlib-utils (rigctld)"

# --- files: exactly these, so nothing from tests/, bench/ or the static
# libraries slips in, and nothing expected goes missing
doc=./usr/share/doc/corvane-test
plugin=./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/corvane-test/libcorvane_hamlib.so
expected=$(sort <<EOF
./usr/bin/corvane-test
./usr/bin/corvane-vradio
./usr/bin/corvane-check
$plugin
./usr/share/applications/corvane-test.desktop
./usr/share/icons/hicolor/scalable/apps/corvane-test.svg
./usr/share/icons/hicolor/48x48/apps/corvane-test.png
./usr/share/icons/hicolor/128x128/apps/corvane-test.png
./usr/share/icons/hicolor/256x256/apps/corvane-test.png
./usr/share/man/man1/corvane-test.1.gz
./usr/share/man/man1/corvane-vradio.1.gz
./usr/share/man/man1/corvane-check.1.gz
$doc/README.md
$doc/copyright
$doc/changelog.gz
$doc/docs/profiles.md
$doc/docs/trace.md
$doc/docs/hamlib.md
$doc/docs/vradio.md
$doc/docs/check.md
$doc/docs/window.png
$doc/docs/window-1.5x.png
$doc/docs/refused.png
$doc/docs/examples/airband.json
$doc/examples/hf.json
$doc/examples/vhf.json
$doc/examples/bc.json
EOF
)
listing=$(dpkg-deb --contents "$deb")
actual=$(awk '$1 !~ /^d/ { print $6 }' <<<"$listing" | sort)
if [[ "$actual" != "$expected" ]]; then
    fail "the package's files differ from the expected ones (< expected, > packaged):"
    diff <(echo "$expected") <(echo "$actual") >&2 || true
fi
if grep -Eq '(test_|bench|gtest|gmock|\.a$|/include/)' <<<"$(awk '{ print $6 }' <<<"$listing")"; then
    fail "test, benchmark or library files in the package"
fi
# Owners root, folders and the program rwxr-xr-x, everything else rw-r--r--.
while read -r mode owner _ _ _ path; do
    want=-rw-r--r--
    if [[ "$mode" == d* ]]; then
        want=drwxr-xr-x
    elif [[ "$path" == ./usr/bin/* ]]; then
        want=-rwxr-xr-x
    fi
    [[ "$mode" == "$want" ]] || fail "$path is $mode, not $want"
    [[ "$owner" == root/root ]] || fail "$path belongs to $owner"
done <<<"$listing"

# --- the program from the package, found on PATH, headless
root=$(mktemp -d)
run=$(mktemp -d)
pid=""
cleanup() {
    if [[ -n "$pid" ]]; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -rf "$root" "$run"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$root"
program="$root/usr/bin/corvane-test"
file -b "$program" | grep -q ', stripped' || fail "the program is not stripped: $(file -b "$program")"
file -b "$root/$plugin" | grep -q ', stripped' || fail "the plugin is not stripped: $(file -b "$root/$plugin")"
for elf in "$program" "$root/$plugin"; do
    if readelf -d "$elf" | grep -Eq 'RPATH|RUNPATH'; then
        fail "${elf#"$root"} carries a run path into the build"
    fi
done
gzip -t "$root/usr/share/man/man1/corvane-test.1.gz" || fail "the manual page is not gzip data"
if command -v man >/dev/null && man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man1/corvane-test.1.gz" 2>&1 >/dev/null | grep .; then
    fail "the manual page gives warnings"
fi
[[ "$(gzip -dc "$root/${doc#./}/changelog.gz" | dpkg-parsechangelog -l - -S Version)" == "$version" ]] ||
    fail "packaging/changelog does not start with version $version"

mkdir -m 700 "$run/config" "$run/runtime"
: >"$run/stderr"
found=$(PATH="$root/usr/bin:$PATH" command -v corvane-test)
[[ "$found" == "$program" ]] || fail "corvane-test on PATH is $found, not the packaged one"
# Up to 60 s to list the drivers (a loaded CI machine), then it must still be
# running 2 s later; it is ended with SIGTERM, as a session ending would.
PATH="$root/usr/bin:$PATH" XDG_CONFIG_HOME="$run/config" XDG_RUNTIME_DIR="$run/runtime" \
    CORVANE_TRACE=- QT_QPA_PLATFORM=offscreen timeout 60 corvane-test 2>"$run/stderr" &
pid=$!
for _ in $(seq 600); do
    if grep -qF 'call DrvCount() -> 4' "$run/stderr" || ! kill -0 "$pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
sleep 2
if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    status=0
    wait "$pid" || status=$?
    # 124 would mean the 60 s ran out before the drivers were listed.
    [[ $status == 143 ]] || fail "the program ended with status $status when stopped"
else
    status=0
    wait "$pid" || status=$?
    fail "the program ended by itself (status $status) instead of running"
fi
pid=""
grep -qF 'call DrvCount() -> 4' "$run/stderr" || fail "the trace does not show the four default drivers"
if grep -F ' !! ' "$run/stderr" >&2; then
    fail "calls failed during start-up"
fi
if [[ -n "$(ls -A "$run/config")" ]]; then
    fail "the program wrote into an empty configuration: $(ls -A "$run/config")"
fi
if grep -Ev '^(call|event) ' "$run/stderr" >&2; then
    echo "(the lines above are what else the program wrote to stderr)" >&2
fi
echo "started from PATH: $(grep -F 'call DrvName(' "$run/stderr" | sed 's/.*-> //' | paste -sd' ')"

# Hamlib's dummy rig as the first receiver: it is selected at start-up,
# which loads the Hamlib plugin, and the packaged program must take it from
# where the package put it (a program outside the build never looks in the
# build tree).
mkdir -p "$run/dummy/corvane"
echo '{"drivers": [{"name": "Dummy", "kind": "hamlib", "model": 1}]}' >"$run/dummy/corvane/Test.json"
PATH="$root/usr/bin:$PATH" XDG_CONFIG_HOME="$run/dummy" XDG_RUNTIME_DIR="$run/runtime" \
    CORVANE_TRACE=- QT_QPA_PLATFORM=offscreen corvane-test 2>"$run/dummy.stderr" &
pid=$!
mapped=""
for _ in $(seq 600); do
    if grep -qF 'call RxModCount(0)' "$run/dummy.stderr"; then
        mapped=$(grep -oE '/[^ ]*/(libcorvane_hamlib|libhamlib)\.so[.0-9]*$' "/proc/$pid/maps" | sort -u || true)
        [[ -n "$mapped" ]] && break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=""
if ! grep -qxF "$root/${plugin#./}" <<<"$mapped" || grep -F ' !! ' "$run/dummy.stderr" >&2; then
    fail "the packaged program did not load its own Hamlib plugin for the dummy rig; mapped: ${mapped:-nothing}"
    grep -Ev '^(call|event) ' "$run/dummy.stderr" >&2 || true
fi
echo "loaded for the dummy rig: $(paste -sd' ' <<<"$mapped")"

# --- desktop entry and lintian
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/corvane-test.desktop" ||
        fail "desktop-file-validate rejects the desktop entry"
fi
if command -v lintian >/dev/null; then
    echo "lintian:"
    lintian --fail-on error "$deb" || fail "lintian reports errors"
fi

echo "package check took $((SECONDS - started)) s"
if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package check passed"
