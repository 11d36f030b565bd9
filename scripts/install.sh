#!/usr/bin/env bash
# Installs the program from a build folder.
#
#   scripts/install.sh
#     For the current user, into the home: the program folder ~/.local/lib/varnholt/ (writable,
#     so the program updates itself), the link ~/.local/bin/varnholt, the desktop entry, the
#     icons, the metainfo and the manual page below ~/.local/share/, and the program key in the
#     registry store. Builds what it installs first (a build folder not yet configured is set up
#     without tests and benchmarks). scripts/uninstall.sh removes it again.
#
#   scripts/install.sh PREFIX [REGISTRY_DIR]
#     PREFIX becomes the program folder alone (user-writable; the upgrader replaces files in it):
#     varnholt, newswindow.so (the news window, loaded by the program from its own folder),
#     system/dxdiag, Demos/rovdemo1.dem, Help.pdf, offlinenews.html
#     and the program key HKLM\SOFTWARE\Quillon\Ostrevo is created in the registry store:
#     REGISTRY_DIR when given, else $VARNHOLT_REGISTRY_DIR, else the store's default folder.
#
# The build folder is $VARNHOLT_BUILD_DIR, else build/ in the source tree.
set -euo pipefail

if [ $# -gt 2 ]; then
    echo "usage: scripts/install.sh [PREFIX [REGISTRY_DIR]]" >&2
    exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${VARNHOLT_BUILD_DIR:-$source_dir/build}
bin=$build_dir/bin
key='HKLM\SOFTWARE\Quillon\Ostrevo'

if [ $# -eq 0 ]; then
    if [ -z "${HOME:-}" ]; then
        echo "install: HOME is not set" >&2
        exit 1
    fi
    home_prefix=$HOME/.local
    program_dir=$home_prefix/lib/varnholt
    if [ ! -f "$build_dir/CMakeCache.txt" ]; then
        cmake -S "$source_dir" -B "$build_dir" -G Ninja -DVARNHOLT_TESTS=OFF \
            -DVARNHOLT_BENCH=OFF >/dev/null
    fi
    cmake --build "$build_dir" --target varnholt_install_files
    cmake --install "$build_dir" --prefix "$home_prefix" --component program >/dev/null
    mkdir -p "$home_prefix/bin"
    ln -sfn "$program_dir/varnholt" "$home_prefix/bin/varnholt"
    # The menu starts the program by its full path: ~/.local/bin is on a session's PATH only
    # from the next login on, and only where it existed then. (Names the entry's quoting would
    # have to escape keep the plain command.)
    entry=$home_prefix/share/applications/example.quillon.Varnholt.desktop
    case $program_dir in
    *[\\\"\`\$\|\&%]*) ;;
    *) sed -i "s|^Exec=varnholt\$|Exec=\"$program_dir/varnholt\"|" "$entry" ;;
    esac
    # The program never creates its own key: this step does.
    "$program_dir/reg" add "$key" /f >/dev/null
    echo "install: Quillon Varnholt installed in $program_dir; start it from the menu or as varnholt"
    case ":${PATH:-}:" in
    *":$home_prefix/bin:"*) ;;
    *) echo "install: $home_prefix/bin is not on your PATH; add it to start the program as varnholt" ;;
    esac
    exit 0
fi

prefix=$1
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
"$bin/reg" add "$key" /f >/dev/null
echo "install: Quillon Varnholt installed in $prefix"
