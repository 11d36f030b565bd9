#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
cd build
ctest --output-on-failure -j"$(nproc)"
