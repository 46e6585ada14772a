#!/usr/bin/env bash
# Gives the user at the seat access to the Kestrum programmer, once per machine:
#   sudo bash scripts/install-device-access.sh            install the udev rule, reload, apply
#   sudo bash scripts/install-device-access.sh --remove   take the rule away again
#   --rules-dir DIR    install into DIR instead of /etc/udev/rules.d (root not needed then)
#   --udevadm PROGRAM  run PROGRAM instead of udevadm
# Idempotent: running it twice leaves the same state. A programmer that is already plugged in is
# triggered, so it works without unplugging it. Only these options choose other places: nothing
# in the environment does, so "sudo -E" cannot make it run another program as root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rule_source="$here/../packaging/60-kestrum.rules"
rules_dir=/etc/udev/rules.d
rules_dir_given=no
udevadm=udevadm

mode=install
while [ $# -gt 0 ]; do
    case "$1" in
        --remove) mode=remove ;;
        --rules-dir)
            [ $# -ge 2 ] || { echo "install-device-access: --rules-dir needs a folder" >&2; exit 2; }
            rules_dir=$2; rules_dir_given=yes; shift ;;
        --udevadm)
            [ $# -ge 2 ] || { echo "install-device-access: --udevadm needs a program" >&2; exit 2; }
            udevadm=$2; shift ;;
        -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
        *) echo "install-device-access: unknown option $1 (use --remove, --rules-dir, --udevadm)" >&2; exit 2 ;;
    esac
    shift
done
target="$rules_dir/60-kestrum.rules"

if [ "$rules_dir_given" = no ] && [ "$(id -u)" -ne 0 ]; then
    echo "install-device-access: run it as root: sudo bash $0" >&2
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
