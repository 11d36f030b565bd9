#!/usr/bin/env bash
# Builds the Debian package from a build folder:
#   scripts/package.sh [BUILD_DIR]
# Builds only what the package holds (nothing when the folder is built already; a folder not
# yet configured is set up without tests and benchmarks), then packs it with CPack into
# BUILD_DIR/package/varnholt_<version>_<architecture>.deb and prints the file's path.
# Install it with: sudo apt-get install ./BUILD_DIR/package/varnholt_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -G Ninja -DVARNHOLT_TESTS=OFF -DVARNHOLT_BENCH=OFF >/dev/null
fi
cmake --build "$dir" --target varnholt_install_files
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB -B package >/dev/null)
deb=$(ls "$dir"/package/varnholt_*.deb)
echo "$deb"
