#!/usr/bin/env bash
# Data-file conversion benchmark: a 64 MiB firmware-like image between raw, Intel HEX and
# S-record in all four directions, ours beside objcopy and srec_cat, then the instructions per
# input byte of reading a 16 MiB image's Intel HEX file under callgrind.
#   scripts/bench-files.sh [WORK_DIR]      (default /tmp/kestrum-bench-files; needs ~1 GB free)
# Run by hand on a quiet machine; nothing here is part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:-/tmp/kestrum-bench-files}

need=()
command -v srec_cat >/dev/null || need+=(srecord)
command -v objcopy >/dev/null || need+=(binutils)
command -v valgrind >/dev/null || need+=(valgrind)
if [ ${#need[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

if [ ! -f build-files/build.ninja ]; then
    cmake -S . -B build-files -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
nice ninja -C build-files bench_files kestrum-cli

mkdir -p "$work"
build-files/bin/bench_files --dir "$work"

echo
echo "callgrind: reading the Intel HEX file of a 16 MiB image"
hex="$work/image16.hex"
build-files/bin/bench_files --make-hex "$hex" 0x1000000
out="$work/callgrind.out"
valgrind --tool=callgrind --callgrind-out-file="$out" build-files/bin/bench_files --read-hex "$hex" 2>/dev/null
bytes=$(stat -c %s "$hex")
# awk reads to the end: an early exit would break the pipe under pipefail.
total=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ && !t { gsub(",", "", $1); t = $1 } END { print t }')
reader=$(callgrind_annotate --inclusive=yes "$out" 2>/dev/null \
    | awk '/readIntelHex\(kestrum::RecordFile/ && !r { gsub(",", "", $1); r = $1 } END { print r }')
awk -v t="$total" -v r="$reader" -v b="$bytes" 'BEGIN {
    printf "text bytes %d\n", b
    printf "whole process:     %d instructions, %.2f per text byte\n", t, t / b
    if (r != "") printf "readIntelHex only: %d instructions, %.2f per text byte\n", r, r / b
}'
