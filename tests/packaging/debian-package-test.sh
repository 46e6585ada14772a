#!/usr/bin/env bash
# CPack builds kestrum_VERSION_amd64.deb, and its contents, dependencies and scripts pass the check.
set -euo pipefail
src=$1 build=$2 version=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
bash "$src/scripts/check-package.sh" "$out/kestrum_${version}_amd64.deb"
