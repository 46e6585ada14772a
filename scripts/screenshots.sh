#!/usr/bin/env bash
# Takes the README's pictures of the main window (docs/kestrum-reading.png, docs/kestrum-chooser.png,
# docs/kestrum-find.png, docs/kestrum-compare.png) on the simulated programmer, and of the gang
# window (docs/kestrum-gang.png) on four simulated programmers, and the Regions list with the map strip
# of a laptop's image (docs/kestrum-regions.png), without a display:
#   bash scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target kestrum-screenshots chipdatabase usbsim
export QT_QPA_PLATFORM=offscreen
export LD_LIBRARY_PATH="$PWD/$build/sim-usb${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export KESTRUM_SIM_TIMING=realistic KESTRUM_SIM_CHIP=spi25:16M:EF4018 KESTRUM_SIM_CONTENT=pattern
# A settings file of its own: the pictures never depend on the user's settings.
export XDG_CONFIG_HOME=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
"$build/bin/kestrum-screenshots" docs
KESTRUM_SIM_PROGRAMMERS=4 KESTRUM_SIM_CHIP=spi25:2M:EF4015 KESTRUM_SIM_CHIP_4=spi25:2M:C84015 \
    "$build/bin/kestrum-screenshots" docs gang
"$build/bin/kestrum-screenshots" docs regions
