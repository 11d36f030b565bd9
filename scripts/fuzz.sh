#!/usr/bin/env bash
# Builds every fuzz target with clang's libFuzzer and runs each for a while on its seed corpus:
#   scripts/fuzz.sh [SECONDS_EACH]   (default 30)
# Fails on the first finding; the crashing input is left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is missing; no fuzzing" >&2
    exit 1
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARNHOLT_FUZZ=ON -DVARNHOLT_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_all
findings=$PWD/build-fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
    local target=$1 name=${1#fuzz_}
    local work=$PWD/build-fuzz/corpus/$name
    mkdir -p "$work"
    # New inputs go to the work folder; the seeds in the tree stay as they are.
    if "build-fuzz/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/$name-" "$work" "tests/fuzz/corpus/$name" \
        >"build-fuzz/$name.log" 2>&1; then
        echo "fuzz: $name: $(grep -o 'Done [0-9]* runs' "build-fuzz/$name.log" || echo done)"
    else
        echo "fuzz: $name: FINDING" >&2
        tail -40 "build-fuzz/$name.log" >&2
        return 1
    fi
}

jobs=$(nproc)
failed=0
pids=()
for bin in build-fuzz/bin/fuzz_*; do
    run_one "$(basename "$bin")" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$jobs" ]; then
        wait "${pids[0]}" || failed=1
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
done
exit $failed
