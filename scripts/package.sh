#!/usr/bin/env bash
# Builds the Debian package of Kestrum and checks it:
#   scripts/package.sh [BUILD_DIR]     (default build-release; the package lands in it)
# The package installs under /usr, its udev rule in /usr/lib/udev/rules.d, and reloads udev.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-release}
bash scripts/setup.sh
bash scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DKESTRUM_BUILD_BENCH=OFF
(cd "$dir" && cpack -G DEB)
version=$(sed -n 's/^project(Kestrum VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$dir/kestrum_${version}_amd64.deb"
bash scripts/check-package.sh "$deb"
echo "package: $deb"
