#!/usr/bin/env bash
# The folders of src/ stand on floors; a file includes only its own folder and folders on lower
# floors, so dependencies point one way: platform <- model, process <- game, results, update <-
# run, sysinfo <- ui <- app. Prints each include that points up or sideways; exits 1 when there
# is one.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A floor=([platform]=0 [model]=1 [process]=1 [game]=2 [results]=2 [update]=2 [run]=3
    [sysinfo]=3 [ui]=4 [app]=5)

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
# The README draws the same floors: bottom up, the folders of a floor in alphabetical order.
drawn=""
for ((level = 0; ; level++)); do
    names=$(for dir in "${!floor[@]}"; do
        if ((floor[$dir] == level)); then echo "$dir"; fi
    done | sort | paste -sd, - | sed 's/,/, /g')
    [[ -z $names ]] && break
    drawn+="${drawn:+  <-  }$names"
done
if ! grep -qxF "    $drawn" ../README.md; then
    echo "README.md: its layout section does not draw the floors as \"$drawn\""
    status=1
fi
exit $status
