#!/usr/bin/env bash
# Gives the user at the seat access to the Kestrum programmer, once per machine:
#   sudo bash scripts/install-device-access.sh            install the udev rule, reload, apply
#   sudo bash scripts/install-device-access.sh --remove   take the rule away again
# Idempotent: running it twice leaves the same state. A programmer that is already plugged in is
# triggered, so it works without unplugging it.
# KESTRUM_UDEV_RULES_DIR (default /etc/udev/rules.d) and KESTRUM_UDEVADM (default udevadm) exist
# for the tests, which must not touch the machine's udev.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rule_source="$here/../packaging/60-kestrum.rules"
rules_dir=${KESTRUM_UDEV_RULES_DIR:-/etc/udev/rules.d}
udevadm=${KESTRUM_UDEVADM:-udevadm}
target="$rules_dir/60-kestrum.rules"

mode=install
case "${1:-}" in
    "") ;;
    --remove) mode=remove ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) echo "install-device-access: unknown option $1 (use --remove)" >&2; exit 2 ;;
esac

if [ -z "${KESTRUM_UDEV_RULES_DIR:-}" ] && [ "$(id -u)" -ne 0 ]; then
    echo "install-device-access: run it as root: sudo bash $0 ${1:-}" >&2
    exit 1
fi

reload() {
    if ! command -v "$udevadm" >/dev/null 2>&1; then
        echo "install-device-access: $udevadm not found; unplug and plug the programmer again" >&2
        return 0
    fi
    "$udevadm" control --reload-rules
    # Re-applies the rules to a programmer that is plugged in now: no replugging needed.
    "$udevadm" trigger --action=change --subsystem-match=usb \
        --attr-match=idVendor=1fc8 --attr-match=idProduct=310b
}

if [ "$mode" = remove ]; then
    if [ -e "$target" ]; then
        rm -f "$target"
        echo "install-device-access: removed $target"
    else
        echo "install-device-access: $target is not installed"
    fi
    reload
    exit 0
fi

mkdir -p "$rules_dir"
if [ -f "$target" ] && cmp -s "$rule_source" "$target"; then
    echo "install-device-access: $target is already installed"
else
    install -m 0644 "$rule_source" "$target"
    echo "install-device-access: installed $target"
fi
reload
echo "install-device-access: done; start Kestrum (the programmer's state shows \"Ready\")"
