#!/usr/bin/env bash
# Applies .clang-format to every C++ file that git tracks: scripts/format.sh
# With --check it changes nothing and fails when a file is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(-i)
if [ "${1:-}" = "--check" ]; then mode=(--dry-run -Werror); fi
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format "${mode[@]}"
