#!/usr/bin/env bash
# install-device-access.sh installs the rule once, reloads and triggers udev, and --remove undoes it.
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
printf '#!/bin/sh\necho "$*" >>"%s/calls"\n' "$work" >"$work/udevadm"
chmod +x "$work/udevadm"
export KESTRUM_UDEV_RULES_DIR="$work/rules.d" KESTRUM_UDEVADM="$work/udevadm"
script="$src/scripts/install-device-access.sh"

bash "$script" >/dev/null
bash "$script" >/dev/null
cmp -s "$src/packaging/60-kestrum.rules" "$work/rules.d/60-kestrum.rules" || fail "rule not installed"
[ "$(ls "$work/rules.d")" = 60-kestrum.rules ] || fail "other files in the rules folder"
[ "$(grep -c -- '^control --reload-rules$' "$work/calls")" = 2 ] || fail "udev not reloaded each time"
grep -q -- 'trigger .*--attr-match=idVendor=1fc8 --attr-match=idProduct=310b' "$work/calls" \
    || fail "plugged-in programmer not triggered"

: >"$work/calls"
bash "$script" --remove >/dev/null
[ ! -e "$work/rules.d/60-kestrum.rules" ] || fail "--remove left the rule"
grep -q -- '^control --reload-rules$' "$work/calls" || fail "--remove did not reload udev"
bash "$script" --remove >/dev/null || fail "a second --remove failed"
if bash "$script" --bogus 2>/dev/null; then fail "an unknown option was accepted"; fi
echo "device access test: complete"
