#!/usr/bin/env bash
# Builds every fuzz target with clang's libFuzzer and runs each for a while, two at a time, on
# the corpus kept in the tree:
#   scripts/fuzz.sh [SECONDS_EACH]           (default 60) as CI runs it: the tree is not changed
#   scripts/fuzz.sh --grow [SECONDS_EACH]    the same, then what the runs found that reaches new
#                                            code is merged into tests/fuzz/corpus/<name>/
#                                            (minimised by libFuzzer's -merge=1), to commit
# Fails on the first finding; the crashing input is left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
grow=0
if [ "${1:-}" = "--grow" ]; then
    grow=1
    shift
fi
seconds=${1:-60}
# Inputs kept in the tree stay small.
max_kept=65536
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
    local work=$PWD/build-fuzz/corpus/$name seeds=tests/fuzz/corpus/$name
    mkdir -p "$work" "$seeds"
    # New inputs go to the work folder; the corpus in the tree stays as it is.
    if ! "build-fuzz/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/$name-" "$work" "$seeds" >"build-fuzz/$name.log" 2>&1; then
        echo "fuzz: $name: FINDING" >&2
        tail -40 "build-fuzz/$name.log" >&2
        return 1
    fi
    echo "fuzz: $name: $(grep -o 'Done [0-9]* runs' "build-fuzz/$name.log" || echo done)"
    if [ "$grow" = 1 ]; then
        find "$work" -type f -size +"$max_kept"c -delete
        local before after
        before=$(find "$seeds" -type f | wc -l)
        # Only inputs that reach code the corpus does not are copied in, under their hash.
        if ! "build-fuzz/bin/$target" -merge=1 -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$findings/$name-" "$seeds" "$work" >"build-fuzz/$name.merge.log" 2>&1; then
            echo "fuzz: $name: the merge failed" >&2
            tail -40 "build-fuzz/$name.merge.log" >&2
            return 1
        fi
        after=$(find "$seeds" -type f | wc -l)
        echo "fuzz: $name: $((after - before)) inputs added to $seeds"
    fi
}

jobs=2
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
