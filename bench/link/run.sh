#!/usr/bin/env bash
# Stream throughput of the programmer link, run by hand:
#   bench/link/run.sh [BUILD_DIR] [--flashrom]
# Builds bench_stream and the simulated programmer in BUILD_DIR (default: build) and streams a
# 64 MiB chip through them. With --flashrom it also times, for scale, flashrom's dummy programmer
# reading and verifying an emulated 16 MiB W25Q128FV (flashrom is installed if missing; it is a
# comparison tool, not a dependency of Kestrum).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build
flashrom=0
for arg in "$@"; do
    case "$arg" in
        --flashrom) flashrom=1 ;;
        *) build=$arg ;;
    esac
done

if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja
fi
nice ninja -C "$build" -j2 bench_stream usbsim
LD_LIBRARY_PATH="$PWD/$build/sim-usb" "$build/bin/bench_stream" "${REPETITIONS:-5}"

if [ "$flashrom" = 1 ]; then
    if ! command -v flashrom >/dev/null; then
        SUDO=""
        if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
        $SUDO apt-get install -y -qq --no-install-recommends flashrom
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # An image with content, so that the verify compares real bytes.
    head -c $((16 * 1024 * 1024)) /dev/urandom > "$work/chip.bin"
    programmer="dummy:emulate=W25Q128FV,image=$work/chip.bin"
    version=$(dpkg-query -W -f='${Version}' flashrom 2>/dev/null || echo "(version unknown)")
    echo "flashrom $version, dummy programmer, 16 MiB W25Q128FV:"
    time_op() {
        local op=$1
        shift
        local start end
        start=$(date +%s.%N)
        flashrom -p "$programmer" "$@" >/dev/null
        end=$(date +%s.%N)
        awk -v op="$op" -v s="$start" -v e="$end" \
            'BEGIN { t = e - s; printf "%-7s %8.2f s   %8.1f MB/s\n", op, t, 16777216 / 1e6 / t }'
    }
    time_op read -r "$work/out.bin"
    time_op verify -v "$work/out.bin"
    cmp -s "$work/out.bin" "$work/chip.bin" || echo "flashrom read back something else than the image"
fi
