#!/usr/bin/env bash
# run.sh's choice: the real programmer when one is on the USB bus (a made-up sysfs tree), else the
# simulator; --sim and --real force either.
set -euo pipefail
src=$1
sys=$(mktemp -d)
trap 'rm -rf "$sys"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
choose() { KESTRUM_SYSFS_ROOT="$sys" bash "$src/scripts/choose-programmer.sh" "$@"; }
device() { mkdir -p "$sys/bus/usb/devices/$1"; echo "$2" >"$sys/bus/usb/devices/$1/idVendor"; echo "$3" >"$sys/bus/usb/devices/$1/idProduct"; }

[ "$(choose)" = "sim Simulated programmer: no programmer is plugged in" ] || fail "empty bus: $(choose)"
device 1-1 1d6b 0002   # a hub
device 1-2 1fc8 3100   # same vendor, another product
[ "$(choose)" = "sim Simulated programmer: no programmer is plugged in" ] || fail "other devices: $(choose)"
[ "$(choose --real)" = "real Real programmer: chosen with --real" ] || fail "--real"
device 2-1.4 1FC8 310B
case "$(choose)" in "real Real programmer: found on the USB bus at 2-1.4") ;; *) fail "present: $(choose)" ;; esac
[ "$(choose --sim | cut -d' ' -f1)" = sim ] || fail "--sim"
echo "programmer choice test: complete"
