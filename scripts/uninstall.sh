#!/usr/bin/env bash
# Removes what scripts/install.sh (without a folder) put into the home:
#   scripts/uninstall.sh [--purge]
# The program folder ~/.local/lib/varnholt/, the link ~/.local/bin/varnholt, the desktop entry,
# the icons, the metainfo and the manual page. The user's results (the folder Benchmark/ in the
# program folder, ~/.local/share/varnholt/) and options (the program key in the registry store)
# stay, unless --purge is given; --purge also removes the log ~/.local/state/Quillon/varnholt.log.
# A results folder the user chose elsewhere is never touched.
set -euo pipefail

purge=0
case $# in
0) ;;
1) [ "$1" = --purge ] && purge=1 || { echo "usage: scripts/uninstall.sh [--purge]" >&2; exit 2; } ;;
*) echo "usage: scripts/uninstall.sh [--purge]" >&2; exit 2 ;;
esac
if [ -z "${HOME:-}" ]; then
    echo "uninstall: HOME is not set" >&2
    exit 1
fi

prefix=$HOME/.local
program_dir=$prefix/lib/varnholt
share=$prefix/share
id=example.quillon.Varnholt
key='HKLM\SOFTWARE\Quillon\Ostrevo'

if [ ! -d "$program_dir" ]; then
    echo "uninstall: Quillon Varnholt is not installed in $program_dir" >&2
    exit 1
fi

# Before the program folder goes: its registry tool removes the options.
if [ $purge -eq 1 ] && [ -x "$program_dir/reg" ]; then
    "$program_dir/reg" delete "$key" /f >/dev/null 2>&1 || true
fi

# The link only when it is ours.
if [ -L "$prefix/bin/varnholt" ] &&
    [ "$(readlink "$prefix/bin/varnholt")" = "$program_dir/varnholt" ]; then
    rm -f "$prefix/bin/varnholt"
fi
rm -f "$share/applications/$id.desktop" "$share/metainfo/$id.metainfo.xml" \
    "$share/man/man1/varnholt.1.gz" "$share/icons/hicolor/scalable/apps/$id.svg"
for size in 48 64 128 256; do
    rm -f "$share/icons/hicolor/${size}x$size/apps/$id.png"
done

kept=""
if [ $purge -eq 1 ]; then
    rm -rf "$program_dir" "$share/varnholt"
    rm -f "$HOME/.local/state/Quillon/varnholt.log"
else
    # Everything of the program folder but the results.
    find "$program_dir" -mindepth 1 -maxdepth 1 ! -name Benchmark -exec rm -rf {} +
    if [ -d "$program_dir/Benchmark" ] && [ -n "$(ls -A "$program_dir/Benchmark")" ]; then
        kept="$program_dir/Benchmark"
    else
        rm -rf "$program_dir"
    fi
fi

# The folders the install made, where nothing else is left in them.
for dir in "$prefix/bin" "$share/applications" "$share/metainfo" "$share/man/man1" \
    "$share/man" "$share/icons/hicolor/scalable/apps" "$share/icons/hicolor/scalable" \
    "$share/icons/hicolor/48x48/apps" "$share/icons/hicolor/48x48" \
    "$share/icons/hicolor/64x64/apps" "$share/icons/hicolor/64x64" \
    "$share/icons/hicolor/128x128/apps" "$share/icons/hicolor/128x128" \
    "$share/icons/hicolor/256x256/apps" "$share/icons/hicolor/256x256" \
    "$share/icons/hicolor" "$share/icons" "$prefix/lib"; do
    rmdir "$dir" 2>/dev/null || true
done

echo "uninstall: Quillon Varnholt removed from $program_dir"
if [ $purge -eq 0 ]; then
    echo "uninstall: your options stay in the registry store; scripts/uninstall.sh --purge removes them"
    [ -z "$kept" ] || echo "uninstall: your results stay in $kept"
    [ ! -d "$share/varnholt" ] || echo "uninstall: your results stay in $share/varnholt"
fi
