#!/usr/bin/env bash
# cmake --install into a temporary prefix puts every file where the desktop and udev look.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }

for exe in bin/kestrum bin/kestrum-cli; do [ -x "$prefix/$exe" ] || fail "$exe not installed"; done
cmp -s "$build/bin/kestrum.Dat" "$prefix/share/kestrum/kestrum.Dat" || fail "database not at share/kestrum"
[ ! -e "$prefix/bin/kestrum.Dat" ] || fail "database beside the installed executable"
rule="$prefix/lib/udev/rules.d/60-kestrum.rules"
grep -q 'ATTR{idVendor}=="1fc8", ATTR{idProduct}=="310b".*TAG+="uaccess"' "$rule" || fail "udev rule"
grep -qx 'Exec=kestrum' "$prefix/share/applications/kestrum.desktop" || fail "desktop entry"
grep -q '<launchable type="desktop-id">kestrum.desktop</launchable>' \
    "$prefix/share/metainfo/org.kestrum.Kestrum.metainfo.xml" || fail "metainfo"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/kestrum.svg" || fail "scalable icon"
for size in 48 128; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/kestrum.png"
    [ -f "$png" ] || fail "no $size px icon"
    # PNG signature, then the IHDR width and height as 4-byte big-endian numbers.
    [ "$(head -c 4 "$png" | tail -c 3)" = PNG ] || fail "$png is not a PNG"
    [ "$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ')" = " 0 0 0 $size 0 0 0 $size" ] || fail "$png is not $size px"
done
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/org.kestrum.Kestrum.metainfo.xml" >/dev/null \
        || fail "appstreamcli validate"
fi

# Both faces run from the prefix and find the database the same way: the shipped one until the
# window's first start has copied it to the user's folder, then that copy.
home="$prefix/home"
mkdir -p "$home"
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state"
export QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH=/nonexistent
"$prefix/bin/kestrum-cli" list W25Q64FV | grep -q W25Q64FV || fail "kestrum-cli list with the shipped database"
timeout 10 "$prefix/bin/kestrum" >/dev/null 2>&1 &
window=$!
for _ in $(seq 100); do [ -s "$home/data/kestrum/kestrum.Dat" ] && break; sleep 0.1; done
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
cmp -s "$prefix/share/kestrum/kestrum.Dat" "$home/data/kestrum/kestrum.Dat" || fail "the window's copy of the database"
: >"$home/data/kestrum/kestrum.Dat"
"$prefix/bin/kestrum-cli" list W25Q64FV >/dev/null 2>&1 && fail "kestrum-cli did not load the user's copy"
echo "install test: complete"
