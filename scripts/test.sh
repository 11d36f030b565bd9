#!/usr/bin/env bash
# Sets the machine up, builds everything (the program, its tools, the stand-ins, every test and
# benchmark) with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/, and runs
# every test there: a fault the sanitizers see fails the test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build-asan -DVARNHOLT_SANITIZE=ON "$@"
cd build-asan
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure -j"$(nproc)"
