#!/usr/bin/env bash
# By hand, not in CI: proves that the package installs with apt on a clean
# Debian 12 and that the installed program starts there.
#
#   packaging/clean-install.sh [path/to/corvane-test_<version>_<arch>.deb]
#
# Makes a minimal bookworm root with debootstrap in a temporary folder, copies
# the package in, runs `apt-get install ./corvane-test_*.deb` in it (apt pulls
# in Qt, Hamlib and what they need, Recommends included, as a default apt
# does), then starts the installed program headless and checks that it lists
# the four default drivers and keeps running. It DOWNLOADS SEVERAL HUNDRED MB
# (the base system, then Qt and its dependencies) from the Debian mirror the
# host's apt uses (MIRROR overrides it) and needs root for debootstrap, chroot
# and mount. KEEP_ROOT=1 keeps the root folder for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $(id -u) -ne 0 ]]; then
    echo "run as root (debootstrap, chroot and mount need it)" >&2
    exit 2
fi
deb="${1:-}"
if [[ -z "$deb" ]]; then
    for found in build-pkg/corvane-test_*.deb; do
        deb="$found"
        break
    done
fi
if [[ ! -f "$deb" ]]; then
    echo "no package: give its path, or build it with packaging/check-deb.sh build-pkg" >&2
    exit 2
fi

if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
fi

# The first Debian mirror the host's apt uses, in either sources format.
host_uri() {
    local pattern="$1" uri
    uri=$(grep -hoE "^(URIs:[[:space:]]*|deb[[:space:]]+(\[[^]]*\][[:space:]]+)?)https?://[^[:space:]]*${pattern}/?([[:space:]]|$)" \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
        grep -oE 'https?://[^[:space:]]+' | head -n1 || true)
    echo "${uri%/}"
}
mirror="${MIRROR:-$(host_uri '/debian')}"
mirror="${mirror:-http://deb.debian.org/debian}"
security="${SECURITY_MIRROR:-$(host_uri '/debian-security')}"
security="${security:-http://deb.debian.org/debian-security}"

root=$(mktemp -d /tmp/corvane-bookworm.XXXXXX)
chmod 755 "$root" # it becomes /, which apt's _apt user must be able to enter
mounted=()
cleanup() {
    local m
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        m="${mounted[$i]}"
        umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
    done
    if [[ "${KEEP_ROOT:-0}" == 1 ]]; then
        echo "root kept in $root"
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

echo "== debootstrap bookworm (minbase) from $mirror into $root"
start=$SECONDS
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 || {
    tail -n 30 "$root.debootstrap.log" >&2
    exit 1
}
echo "debootstrap took $((SECONDS - start)) s, root is $(du -sh --exclude=proc "$root" | cut -f1)"

# A system as a default installation has it: updates and security too.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mounted+=("$root/proc")
mount --bind /dev "$root/dev"
mounted+=("$root/dev")

cp "$deb" "$root/tmp/"
name=$(basename "$deb")
echo "== apt-get install ./$name ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Depends Recommends
start=$SECONDS
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
chroot "$root" sh -c "cd /tmp && env DEBIAN_FRONTEND=noninteractive apt-get install -y ./$name" >"$root.apt.log" 2>&1 || {
    tail -n 30 "$root.apt.log" >&2
    exit 1
}
echo "apt-get update and install took $((SECONDS - start)) s"
grep -E '^(Need to get|After this operation)' "$root.apt.log" || true
echo "newly installed: $(sed -n '/^The following NEW packages will be installed:/,/^[^ ]/p' "$root.apt.log" |
    grep '^ ' | wc -w) packages (full list in $root.apt.log)"
# shellcheck disable=SC2016 # dpkg-query's own ${field} syntax
chroot "$root" dpkg-query -W -f='${Status} ${Package} ${Version}\n' corvane-test libhamlib-utils

echo "== the installed program, headless"
status=0
chroot "$root" env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/root XDG_CONFIG_HOME=/tmp/config \
    XDG_RUNTIME_DIR=/tmp/runtime CORVANE_TRACE=- QT_QPA_PLATFORM=offscreen \
    sh -c 'mkdir -p -m 700 /tmp/config /tmp/runtime && command -v corvane-test && timeout 10 corvane-test' \
    >"$root.run.log" 2>&1 || status=$?
head -n 8 "$root.run.log"
failed=0
grep -qF 'call DrvCount() -> 4' "$root.run.log" || { echo "FAIL: no 'call DrvCount() -> 4' in the trace" >&2; failed=1; }
if [[ $status -ne 124 ]]; then
    echo "FAIL: the program ended with status $status before the 10 s were up" >&2
    failed=1
fi

echo "== the installed program on Hamlib's dummy rig (loads the Hamlib plugin)"
chroot "$root" env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/root XDG_CONFIG_HOME=/tmp/dummy \
    XDG_RUNTIME_DIR=/tmp/runtime QT_QPA_PLATFORM=offscreen sh -c '
        mkdir -p /tmp/dummy/corvane
        echo "{\"drivers\": [{\"name\": \"Dummy\", \"kind\": \"hamlib\", \"model\": 1}]}" \
            >/tmp/dummy/corvane/Test.json
        corvane-test & pid=$!
        sleep 5
        grep -oE "/[^ ]*(libcorvane_hamlib|libhamlib)\.so[.0-9]*$" /proc/$pid/maps | sort -u
        kill $pid' >"$root.dummy.log" 2>&1 || true
cat "$root.dummy.log"
grep -qE '^/usr/lib/[^ ]*/corvane-test/libcorvane_hamlib\.so$' "$root.dummy.log" ||
    { echo "FAIL: the installed program did not load its Hamlib plugin" >&2; failed=1; }
rm -f "$root.debootstrap.log" "$root.run.log" "$root.dummy.log"
if ((failed)); then
    exit 1
fi
echo "clean install passed (apt log: $root.apt.log)"
