#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrum.
#   scripts/run.sh          talk to a real programmer through the system's libusb 0.1
#   scripts/run.sh --sim    talk to the simulated programmer (a chip sits in its socket)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
if [ "${1:-}" = "--sim" ]; then
    export LD_LIBRARY_PATH="$PWD/build/sim-usb${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    export KESTRUM_SIM_TIMING="${KESTRUM_SIM_TIMING:-realistic}"
fi
exec build/bin/kestrum
