#!/usr/bin/env bash
# Installs everything Kestrum needs to build, run and test on Debian 12.
# Idempotent: when every package is present it does nothing but check.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev libqt6svg6 qt6-translations-l10n
    libgtest-dev googletest libgmock-dev
    libusb-dev libusb-0.1-4
    libudev-dev
    fonts-wqy-microhei
    clang libclang-rt-14-dev clang-format
    appstream
    coreboot-utils flashrom
    libqt6sql6-sqlite libqt6sql6-psql postgresql
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
