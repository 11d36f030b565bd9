#!/usr/bin/env bash
# Installs the program from a build folder.
#
#   scripts/install.sh
#     For the current user, into the home: the program folder ~/.local/lib/varnholt/ (writable,
#     so the program updates itself), the link ~/.local/bin/varnholt, the desktop entry, the
#     icons, the metainfo and the manual page below ~/.local/share/, and the program key in the
#     registry store. Builds what it installs first (a build folder not yet configured is set up
#     without tests and benchmarks). What it wrote is recorded, with digests, in
#     ~/.local/lib/varnholt/installed-files, for scripts/uninstall.sh to remove again. Nothing
#     is written through a link, and a ~/.local/bin/varnholt of the user's own is never replaced:
#     the install then stops before writing anything.
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
    home=${HOME%/}
    home_prefix=$home/.local
    program_dir=$home_prefix/lib/varnholt
    link=$home_prefix/bin/varnholt
    manifest=$program_dir/installed-files
    if [ ! -f "$build_dir/CMakeCache.txt" ]; then
        cmake -S "$source_dir" -B "$build_dir" -G Ninja -DVARNHOLT_TESTS=OFF \
            -DVARNHOLT_BENCH=OFF >/dev/null
    fi
    cmake --build "$build_dir" --target varnholt_install_files
    # Installed into a folder of our own first, then copied file by file: so every place is
    # checked before anything of the user's is touched, and what was written is known.
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' EXIT
    cmake --install "$build_dir" --prefix "$stage" --component program >/dev/null
    # The menu starts the program by its full path: ~/.local/bin is on a session's PATH only
    # from the next login on, and only where it existed then. (Names the entry's quoting would
    # have to escape keep the plain command.)
    entry=$stage/share/applications/example.quillon.Varnholt.desktop
    case $program_dir in
    *[\\\"\`\$\|\&%]*) ;;
    *) sed -i "s|^Exec=varnholt\$|Exec=\"$program_dir/varnholt\"|" "$entry" ;;
    esac
    mapfile -d '' files < <(cd "$stage" && find . -type f -printf '%P\0' | sort -z)

    # Nothing is written through a link: a linked ~/.local, ~/.local/lib or program folder may
    # lead into another user's files, and uninstall.sh would have to follow it again.
    refuse() {
        echo "install: $1; nothing was installed" >&2
        exit 1
    }
    linked_on_the_way() { # the first link from the home down to $1, if any
        local rest=${1#"$home"/} at=$home part
        local IFS=/
        for part in $rest; do
            at=$at/$part
            if [ -L "$at" ]; then
                echo "$at"
                return 0
            fi
        done
        return 1
    }
    for rel in "${files[@]}" bin/varnholt; do
        if at=$(linked_on_the_way "$(dirname "$home_prefix/$rel")"); then
            refuse "$at is a link; install into real folders only"
        fi
    done
    for rel in "${files[@]}"; do
        dest=$home_prefix/$rel
        if [ -L "$dest" ] || { [ -e "$dest" ] && [ ! -f "$dest" ]; }; then
            refuse "$dest is not a plain file"
        fi
    done
    # A varnholt of the user's own in ~/.local/bin is never replaced.
    if { [ -e "$link" ] || [ -L "$link" ]; } &&
        ! { [ -L "$link" ] && [ "$(readlink "$link")" = "$program_dir/varnholt" ]; }; then
        refuse "$link is not the link this install makes; move it away first"
    fi

    # The folders this install makes, for uninstall.sh to take away again when empty.
    made_dirs=()
    make_dir() {
        local missing=() at=$1
        while [ ! -d "$at" ]; do
            missing=("$at" "${missing[@]}")
            at=$(dirname "$at")
        done
        local dir
        for dir in "${missing[@]}"; do
            mkdir "$dir"
            made_dirs+=("${dir#"$home"/}")
        done
    }
    # Folders an earlier install made stay recorded.
    if [ -f "$manifest" ] && [ ! -L "$manifest" ]; then
        while IFS= read -r line; do
            case $line in "dir  "*) made_dirs+=("${line#dir  }") ;; esac
        done <"$manifest"
    fi
    for rel in "${files[@]}"; do
        dest=$home_prefix/$rel
        make_dir "$(dirname "$dest")"
        # A new file under a name of its own, then renamed: a file that is open (the program
        # updating itself) is never written into.
        rm -f "$dest.installing"
        cp -p "$stage/$rel" "$dest.installing"
        mv -f "$dest.installing" "$dest"
    done
    make_dir "$home_prefix/bin"
    ln -sfn "$program_dir/varnholt" "$link"

    # What was written, with digests: uninstall.sh removes these, and only while unchanged.
    {
        echo "# Written by scripts/install.sh: the files it installed (sha256, path below the home)."
        for rel in "${files[@]}"; do
            sum=$(sha256sum <"$home_prefix/$rel")
            echo "${sum%% *}  .local/$rel"
        done
        echo "link  .local/bin/varnholt  $program_dir/varnholt"
        printf '%s\n' "${made_dirs[@]}" | sort -u | sed 's/^/dir  /'
    } >"$manifest.new"
    mv -f "$manifest.new" "$manifest"

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
