#!/usr/bin/env bash
# The folders of src/ stand on floors; a file includes only its own folder and folders on lower
# floors, so dependencies point one way: platform <- model <- game, results, update <- run <-
# sysinfo <- ui <- app. Prints each include that points up or sideways; exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A floor=([platform]=0 [model]=1 [game]=2 [results]=2 [update]=2 [run]=3 [sysinfo]=4
    [ui]=5 [app]=6)

status=0
for dir in */; do
    dir=${dir%/}
    if [[ -z ${floor[$dir]+set} ]]; then
        echo "src/$dir: a folder without a floor: give it one in $0"
        status=1
        continue
    fi
    while IFS=: read -r file line target; do
        [[ $target == "$dir" ]] && continue
        if [[ -n ${floor[$target]+set} ]] && ((floor[$target] >= floor[$dir])); then
            echo "src/$file:$line: $dir includes $target, which is not below it"
            status=1
        fi
    done < <(grep -rnoE '^#include "[a-z]+/' "$dir" | sed -E 's/:#include "([a-z]+)\/$/:\1/')
done
exit $status
