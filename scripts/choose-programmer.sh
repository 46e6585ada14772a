#!/usr/bin/env bash
# Decides which programmer `scripts/run.sh` starts Kestrum on, and prints one line:
#   real <why>      the real programmer
#   sim <why>       the simulated programmer
#   scripts/choose-programmer.sh [--sim|--real]
# Without an option: the real programmer when one (vendor 1fc8, product 310b) is on the USB bus,
# else the simulated one. The USB bus is read from sysfs; KESTRUM_SYSFS_ROOT (default /sys) lets
# the tests put a made-up device tree there.
set -euo pipefail
sysfs=${KESTRUM_SYSFS_ROOT:-/sys}

case "${1:-}" in
    --sim) echo "sim Simulated programmer: chosen with --sim"; exit 0 ;;
    --real) echo "real Real programmer: chosen with --real"; exit 0 ;;
    "") ;;
    *) echo "choose-programmer: unknown option $1 (use --sim or --real)" >&2; exit 2 ;;
esac

for dev in "$sysfs"/bus/usb/devices/*; do
    [ -r "$dev/idVendor" ] && [ -r "$dev/idProduct" ] || continue
    if [ "$(tr 'A-F' 'a-f' <"$dev/idVendor")" = 1fc8 ] && [ "$(tr 'A-F' 'a-f' <"$dev/idProduct")" = 310b ]; then
        echo "real Real programmer: found on the USB bus at $(basename "$dev")"
        exit 0
    fi
done
echo "sim Simulated programmer: no programmer is plugged in"
