#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrum.
#   scripts/run.sh          the real programmer when one is plugged in, else the simulated one
#   scripts/run.sh --sim    the simulated programmer (an 8 MiB SPI flash sits in its socket)
#   scripts/run.sh --real   the real programmer, through the system's libusb 0.1
# The simulated chip keeps its content between runs in $XDG_DATA_HOME/kestrum/simulated-chip.bin.
# The choice is the first line of the program's log.
set -euo pipefail
cd "$(dirname "$0")/.."
choice=$(bash scripts/choose-programmer.sh "${1:-}")
bash scripts/setup.sh
bash scripts/build.sh build
echo "run: ${choice#* }"
if [ "${choice%% *}" = sim ]; then
    data_home=${XDG_DATA_HOME:-$HOME/.local/share}
    mkdir -p "$data_home/kestrum"
    export LD_LIBRARY_PATH="$PWD/build/sim-usb${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    export KESTRUM_SIM_TIMING="${KESTRUM_SIM_TIMING:-realistic}"
    export KESTRUM_SIM_CHIP="${KESTRUM_SIM_CHIP:-spi25:8M:EF4017}"
    export KESTRUM_SIM_CHIP_FILE="${KESTRUM_SIM_CHIP_FILE:-$data_home/kestrum/simulated-chip.bin}"
    # One programmer: its chip is kept in that one file between runs.
    export KESTRUM_SIM_PROGRAMMERS=1
    export KESTRUM_START_NOTE=sim-chosen
    case "$choice" in *"no programmer is plugged in"*) KESTRUM_START_NOTE=sim-absent ;; esac
else
    export KESTRUM_START_NOTE=real
fi
exec build/bin/kestrum
