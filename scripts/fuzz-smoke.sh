#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for a short while from its seed corpus.
#   scripts/fuzz-smoke.sh [SECONDS]       default 25 s per target
# New inputs go to a scratch corpus; the committed seeds under fuzz/corpus/ are only read.
# A crash leaves its input in build-fuzz/findings/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-25}

if [ ! -f build-fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz -G Ninja
fi
nice ninja -C build-fuzz

mkdir -p build-fuzz/findings
status=0
for target in fuzz_intel_hex fuzz_srecord fuzz_raw_load fuzz_capsule_load; do
    scratch=$(mktemp -d)
    echo "fuzz-smoke: $target for ${seconds}s"
    if ! nice "build-fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="build-fuzz/findings/$target-" "$scratch" "fuzz/corpus/$target" \
            >"build-fuzz/$target.log" 2>&1; then
        echo "fuzz-smoke: $target FAILED, see build-fuzz/$target.log"
        tail -n 30 "build-fuzz/$target.log"
        status=1
    else
        grep -E '^stat::number_of_executed_units' "build-fuzz/$target.log" || true
    fi
    rm -rf "$scratch"
done
exit $status
