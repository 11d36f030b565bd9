#!/usr/bin/env bash
# Installs the program from a build folder:
#   scripts/install.sh PREFIX [REGISTRY_DIR]
# PREFIX becomes the program folder (user-writable; the upgrader replaces files in it):
#   varnholt, newswindow.so (the news window, loaded by the program from its own folder),
#   system/dxdiag, Demos/rovdemo1.dem, Help.pdf, offlinenews.html
# and the program key HKLM\SOFTWARE\Quillon\Ostrevo is created in the registry store:
# REGISTRY_DIR when given, else $VARNHOLT_REGISTRY_DIR, else the store's default folder.
# The build folder is $VARNHOLT_BUILD_DIR, else build/ in the source tree.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: scripts/install.sh PREFIX [REGISTRY_DIR]" >&2
    exit 2
fi
prefix=$1
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${VARNHOLT_BUILD_DIR:-$source_dir/build}
bin=$build_dir/bin

missing=0
for f in varnholt newswindow.so system/dxdiag Demos/rovdemo1.dem Help.pdf offlinenews.html reg; do
    if [ ! -f "$bin/$f" ]; then
        echo "install: $bin/$f is missing; build the project first" >&2
        missing=1
    fi
done
[ $missing -eq 0 ] || exit 1

mkdir -p "$prefix/system" "$prefix/Demos"
install -m 755 "$bin/varnholt" "$prefix/varnholt"
install -m 644 "$bin/newswindow.so" "$prefix/newswindow.so"
install -m 755 "$bin/system/dxdiag" "$prefix/system/dxdiag"
install -m 644 "$bin/Demos/rovdemo1.dem" "$prefix/Demos/rovdemo1.dem"
install -m 644 "$bin/Help.pdf" "$prefix/Help.pdf"
install -m 644 "$bin/offlinenews.html" "$prefix/offlinenews.html"

# The program never creates its own key: this step does.
if [ $# -eq 2 ]; then
    export VARNHOLT_REGISTRY_DIR=$2
fi
"$bin/reg" add 'HKLM\SOFTWARE\Quillon\Ostrevo' /f >/dev/null
echo "install: Quillon Varnholt installed in $prefix"
