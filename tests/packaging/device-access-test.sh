#!/usr/bin/env bash
# install-device-access.sh installs the rule once, reloads and triggers udev, and --remove undoes it.
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
printf '#!/bin/sh\necho "$*" >>"%s/calls"\n' "$work" >"$work/udevadm"
chmod +x "$work/udevadm"
# The environment chooses nothing: only the options do.
printf '#!/bin/sh\ntouch "%s/environment-obeyed"\n' "$work" >"$work/other-udevadm"
chmod +x "$work/other-udevadm"
export KESTRUM_UDEV_RULES_DIR="$work/other-rules.d" KESTRUM_UDEVADM="$work/other-udevadm"
script() { bash "$src/scripts/install-device-access.sh" --rules-dir "$work/rules.d" --udevadm "$work/udevadm" "$@"; }

script >/dev/null
script >/dev/null
[ ! -e "$work/environment-obeyed" ] && [ ! -e "$work/other-rules.d" ] || fail "the environment chose a program or folder"
cmp -s "$src/packaging/60-kestrum.rules" "$work/rules.d/60-kestrum.rules" || fail "rule not installed"
[ "$(ls "$work/rules.d")" = 60-kestrum.rules ] || fail "other files in the rules folder"
[ "$(grep -c -- '^control --reload-rules$' "$work/calls")" = 2 ] || fail "udev not reloaded each time"
grep -q -- 'trigger .*--attr-match=idVendor=1fc8 --attr-match=idProduct=310b' "$work/calls" \
    || fail "plugged-in programmer not triggered"

: >"$work/calls"
script --remove >/dev/null
[ ! -e "$work/rules.d/60-kestrum.rules" ] || fail "--remove left the rule"
grep -q -- '^control --reload-rules$' "$work/calls" || fail "--remove did not reload udev"
script --remove >/dev/null || fail "a second --remove failed"
if script --bogus 2>/dev/null; then fail "an unknown option was accepted"; fi
echo "device access test: complete"
