#!/usr/bin/env bash
# Gang mode against one programmer, run by hand:
#   bench/gang/run.sh [BUILD_DIR] [PROGRAMMERS]
# Builds kestrum-cli and the simulated programmer in BUILD_DIR (default: build), then times
# `kestrum-cli auto --all-programmers` with realistic simulator timing on 1 programmer and on
# PROGRAMMERS (default 4), each holding a 2 MiB W25Q16 flash, with a random 2 MiB image and a
# serial number, and prints the ratio of the two times. Each time is the best of REPETITIONS
# (default 3) runs. The aim: the ratio stays at or below 1.15, since the sockets share nothing but
# the bus list's lock.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
many=${2:-4}

if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja
fi
nice ninja -C "$build" -j2 kestrum-cli usbsim chipdatabase >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((2 * 1024 * 1024)) /dev/urandom > "$work/image.bin"

export LD_LIBRARY_PATH="$PWD/$build/sim-usb"
export KESTRUM_SIM_TIMING=realistic
export KESTRUM_SIM_CHIP=spi25:2M:EF4015

# Best wall-clock seconds of REPETITIONS gang runs on $1 programmers.
best_of() {
    local n=$1 best="" start end t
    for _ in $(seq "${REPETITIONS:-3}"); do
        start=$(date +%s.%N)
        KESTRUM_SIM_PROGRAMMERS=$n "$build/bin/kestrum-cli" auto "$work/image.bin" --chip W25Q16JV \
            --all-programmers --serial 0x1000:1 --quiet --job-log "$work/jobs-$n.csv" >/dev/null
        end=$(date +%s.%N)
        t=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
    done
    echo "$best"
}

one=$(best_of 1)
all=$(best_of "$many")
echo "auto --all-programmers, 2 MiB W25Q16JV, realistic simulator timing:"
echo "  1 programmer:       $one s"
echo "  $many programmers:       $all s"
awk -v a="$all" -v o="$one" -v n="$many" 'BEGIN { printf "  ratio %d vs 1:      %.3f (aim: <= 1.15)\n", n, a / o }'
