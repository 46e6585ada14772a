#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal build and once with
# AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

bash scripts/build.sh build
(cd build && ctest --output-on-failure -j "$jobs")

bash scripts/build.sh build-asan -DKESTRUM_SANITIZE=ON -DKESTRUM_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ctest --output-on-failure -j "$jobs")

if [ -x scripts/fuzz-smoke.sh ]; then
    bash scripts/fuzz-smoke.sh
fi
