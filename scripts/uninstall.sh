#!/usr/bin/env bash
# Removes what scripts/install.sh (without a folder) put into the home:
#   scripts/uninstall.sh [--purge]
# Exactly the files the install recorded in ~/.local/lib/varnholt/installed-files, each only while
# it is unchanged (its digest), and the folders the install made once they are empty. Nothing is
# followed through a link: a file whose way from the home leads through one stays. Whatever else
# is left (the user's results in the program folder's Benchmark/, demos or notes put there, a
# changed file) stays, and the script says what stayed.
#
# --purge also removes what the program made for the user: the options (the program key in the
# registry store), the results in the program folder's Benchmark/ and ~/.local/share/varnholt/,
# the log ~/.local/state/Quillon/varnholt.log, the frame logs (<state>/Quillon/frames/) and the
# old instance key, and it puts back the MangoHud configuration a series that never ended left
# parked. It works after a plain uninstall too. A results folder the user chose elsewhere is
# never touched.
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

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${VARNHOLT_BUILD_DIR:-$source_dir/build}
home=${HOME%/}
prefix=$home/.local
program_dir=$prefix/lib/varnholt
manifest=$program_dir/installed-files
key='HKLM\SOFTWARE\Quillon\Ostrevo'

kept=()     # what stayed, with the reason
removed=0

# The first link on the way from the home down to $1 (itself included), if any; for a path
# outside the home, $1 itself.
linked_on_the_way() {
    case $1 in
    "$home"/*) ;;
    *)
        [ -L "$1" ] && echo "$1"
        return
        ;;
    esac
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

# Whether $1 (a path below the home) may be touched: no link on its way, itself included.
reachable() {
    local at
    if at=$(linked_on_the_way "$1"); then
        kept+=("$1 (reached through the link $at)")
        return 1
    fi
    return 0
}

# Removes a folder the program made, with all in it, when it is reached through no link.
remove_tree() {
    if [ -e "$1" ] || [ -L "$1" ]; then
        if reachable "$1"; then
            rm -rf -- "$1"
            removed=1
        fi
    fi
}

installed=0
if [ -e "$manifest" ] || [ -L "$manifest" ]; then
    if reachable "$manifest" && [ -f "$manifest" ]; then
        installed=1
    fi
fi
if [ $installed -eq 0 ] && [ $purge -eq 0 ]; then
    if [ ${#kept[@]} -gt 0 ]; then
        echo "uninstall: ${kept[0]}; nothing was removed" >&2
    else
        echo "uninstall: Quillon Varnholt is not installed in $program_dir (no $manifest)" >&2
    fi
    exit 1
fi

# Before the program folder goes: a registry tool removes the options (the installed one, else
# the build's, as after a plain uninstall).
if [ $purge -eq 1 ]; then
    reg=""
    for candidate in "$program_dir/reg" "$build_dir/bin/reg"; do
        if [ -f "$candidate" ] && [ -x "$candidate" ] && ! linked_on_the_way "$candidate" >/dev/null; then
            reg=$candidate
            break
        fi
    done
    if [ -n "$reg" ]; then
        "$reg" delete "$key" /f >/dev/null 2>&1 || true
    else
        kept+=("the options in the registry store (no registry tool here to remove them: reg delete '$key' /f)")
    fi
fi

made_dirs=()
if [ $installed -eq 1 ]; then
    while IFS= read -r line; do
        case $line in
        "#"* | "") ;;
        "dir  "*) made_dirs+=("$home/${line#dir  }") ;;
        "link  "*)
            rest=${line#link  }
            path=$home/${rest%%  *}
            target=${rest#*  }
            if [ -L "$path" ] && reachable "$(dirname "$path")"; then
                if [ "$(readlink "$path")" = "$target" ]; then
                    rm -f -- "$path"
                    removed=1
                else
                    kept+=("$path (a link the install did not make)")
                fi
            fi
            ;;
        *)
            sum=${line%%  *}
            path=$home/${line#*  }
            if [ ! -e "$path" ] && [ ! -L "$path" ]; then
                continue
            fi
            reachable "$path" || continue
            if [ ! -f "$path" ]; then
                kept+=("$path (not the file the install wrote)")
            elif [ "$(sha256sum <"$path" | cut -d' ' -f1)" = "$sum" ]; then
                rm -f -- "$path"
                removed=1
            else
                kept+=("$path (changed since the install)")
            fi
            ;;
        esac
    done <"$manifest"
fi

if [ $purge -eq 1 ]; then
    remove_tree "$program_dir/Benchmark"
    remove_tree "$program_dir/dxinfo.txt"
    remove_tree "$prefix/share/varnholt"
    remove_tree "$prefix/state/Quillon/varnholt.log"
    remove_tree "$prefix/state/Quillon/instance-key"
    state_home=${XDG_STATE_HOME:-}
    case $state_home in /*) ;; *) state_home=$prefix/state ;; esac
    state_home=${state_home%/}
    case $state_home/ in
    "$home"/*) remove_tree "$state_home/Quillon/frames" ;;
    *) [ ! -e "$state_home/Quillon/frames" ] || { rm -rf -- "$state_home/Quillon/frames"; removed=1; } ;;
    esac
    for dir in "$state_home/Quillon" "$prefix/state/Quillon"; do
        if [ -d "$dir" ] && ! linked_on_the_way "$dir" >/dev/null; then
            rmdir -- "$dir" 2>/dev/null || true
        fi
    done

    # MangoHud's configuration as a series that never ended left it: the program's own file
    # goes, the user's parked one comes back (beside a file the user put in place meanwhile,
    # under a free name).
    config_home=${XDG_CONFIG_HOME:-}
    case $config_home in /*) ;; *) config_home=$home/.config ;; esac
    mangohud=${config_home%/}/MangoHud
    first_line="# Written by Quillon Varnholt for a benchmark series: frame times of the game. Your own file comes back after the series."
    for name in hl2_linux.conf wine-hl2.conf; do
        path=$mangohud/$name
        parked=$path.varnholt-kept
        if [ -f "$path" ] && [ ! -L "$path" ] && [ "$(head -n 1 "$path")" = "$first_line" ]; then
            rm -f -- "$path"
            removed=1
        fi
        if [ -e "$parked" ] || [ -L "$parked" ]; then
            if [ ! -e "$path" ] && [ ! -L "$path" ] ||
                { [ -f "$path" ] && [ ! -L "$path" ] && [ ! -s "$path" ]; }; then
                mv -f -- "$parked" "$path"
                echo "uninstall: your MangoHud configuration $path is back"
            else
                n=2
                while [ -e "$mangohud/${name%.conf}($n).conf" ] || [ -L "$mangohud/${name%.conf}($n).conf" ]; do
                    n=$((n + 1))
                done
                mv -- "$parked" "$mangohud/${name%.conf}($n).conf"
                echo "uninstall: your MangoHud configuration parked by a series is back as $mangohud/${name%.conf}($n).conf"
            fi
            removed=1
        fi
    done
fi

if [ $installed -eq 1 ]; then
    rm -f -- "$manifest"
fi
# The folders the install made, deepest first, where nothing else is left in them.
if [ ${#made_dirs[@]} -gt 0 ]; then
    while IFS= read -r dir; do
        if [ -d "$dir" ] && [ ! -L "$dir" ] && ! linked_on_the_way "$dir" >/dev/null; then
            rmdir -- "$dir" 2>/dev/null || true
        fi
    done < <(printf '%s\n' "${made_dirs[@]}" | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2-)
    # A program folder that stays (results in it) keeps the record of the folders the install
    # made, so that a later uninstall (--purge) can still take them away.
    if [ -d "$program_dir" ] && [ ! -L "$program_dir" ]; then
        for dir in "${made_dirs[@]}"; do
            [ ! -d "$dir" ] || echo "dir  ${dir#"$home"/}"
        done >"$manifest"
    fi
fi

if [ $installed -eq 1 ]; then
    echo "uninstall: Quillon Varnholt removed from $program_dir"
elif [ $removed -eq 1 ]; then
    echo "uninstall: what Quillon Varnholt left for you is removed"
else
    echo "uninstall: nothing of Quillon Varnholt was left to remove"
fi
if [ $purge -eq 0 ]; then
    echo "uninstall: your options stay in the registry store; scripts/uninstall.sh --purge removes them"
    if [ -d "$program_dir/Benchmark" ] && [ -n "$(ls -A "$program_dir/Benchmark")" ]; then
        echo "uninstall: your results stay in $program_dir/Benchmark"
    fi
    [ ! -d "$prefix/share/varnholt" ] || echo "uninstall: your results stay in $prefix/share/varnholt"
fi
if [ -d "$program_dir" ] && [ ! -L "$program_dir" ]; then
    others=$(cd "$program_dir" && find . -mindepth 1 -maxdepth 1 ! -name Benchmark ! -name installed-files -printf '%P\n' | sort)
    if [ -n "$others" ]; then
        echo "uninstall: kept in $program_dir, not made by the install:"
        printf '%s\n' "$others" | sed 's/^/    /'
    fi
fi
for what in "${kept[@]}"; do
    echo "uninstall: kept $what"
done
exit 0
