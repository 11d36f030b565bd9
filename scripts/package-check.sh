#!/usr/bin/env bash
# CI: the Debian package from an already built build folder, judged by Debian's own tools
# (desktop-file-validate, appstreamcli, lintian), installed with apt-get, run (its version and a
# command-line series on the stand-ins, with the installed program), removed, and checked that
# nothing of it is left under /usr. Needs root and a machine of its own:
#   scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
id=example.quillon.Varnholt
say() { echo "package-check: $*"; }

deb=$(realpath "$(scripts/package.sh "$build" | tail -n 1)")
say "built $deb"

# The desktop entry and the metainfo: no errors, no warnings (any line of output fails).
out=$(desktop-file-validate "dist/$id.desktop" 2>&1 || true)
if [ -n "$out" ]; then
    echo "$out"
    exit 1
fi
appstreamcli validate --no-net "$build/dist/$id.metainfo.xml"
# The package: errors fail; warnings and below are shown (each one is explained in docs/installing.md).
lintian --fail-on error "$deb"
say "validated"

# Installed, as a user installs a local package.
apt_quiet=(-y -qq --no-install-recommends -o Dpkg::Use-Pty=0)
DEBIAN_FRONTEND=noninteractive apt-get install "${apt_quiet[@]}" "$deb" >/dev/null
dpkg -L varnholt | sort >"$build/package/files.txt"
[ "$(command -v varnholt)" = /usr/bin/varnholt ]
varnholt --version

# A series on the stand-ins in a home of its own; the launcher makes the user's program key.
work=$(mktemp -d)
steam_pid=""
cleanup() {
    if [ -n "${STEAM_EXE:-}" ]; then "$STEAM_EXE" -shutdown >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home VARNHOLT_REGISTRY_DIR=$work/registry/
unset XDG_DATA_HOME XDG_STATE_HOME
mkdir -p "$HOME"
eval "$("$build/bin/testbed-layout" "$work/steam")"
reg=/usr/lib/varnholt/reg
"$reg" add 'HKCU\Software\Valve\Steam' /v SteamPath /t REG_SZ /d "${STEAM_DIR%/}" /f >/dev/null
"$reg" add "HKU\\S-1-22-1-$(id -u)\\Software\\Valve\\Source\\episodic\\Settings" /f >/dev/null
(cd "$STEAM_DIR" && exec setsid -f "$STEAM_EXE") </dev/null >/dev/null 2>&1
VARNHOLT_TESTBED_PLAY_MS=200 varnholt --run --resolution 640x480 --runs 1 \
    --demo /usr/lib/varnholt/Demos/rovdemo1.dem --note "installed package" | tee "$work/out.txt"
report=$(sed -n 's/^Report: //p' "$work/out.txt")
case $report in
"$HOME/.local/share/varnholt/Benchmark/result_"*.htm) ;;
*)
    say "the report is not in the user's data folder: $report"
    exit 1
    ;;
esac
[ -f "$report" ]
"$reg" query 'HKLM\SOFTWARE\Quillon\Ostrevo' >/dev/null
say "a series ran with the installed program"
"$STEAM_EXE" -shutdown >/dev/null 2>&1 || true
unset STEAM_EXE

# Removed: none of its files, and no file or folder of its name, is left under /usr.
DEBIAN_FRONTEND=noninteractive apt-get purge "${apt_quiet[@]}" varnholt >/dev/null
left=0
while read -r path; do
    case $path in
    /usr/lib/varnholt* | /usr/bin/* | /usr/share/*/varnholt* | /usr/share/*/"$id"*)
        if [ -e "$path" ] || [ -L "$path" ]; then
            say "left after removal: $path"
            left=1
        fi
        ;;
    esac
done <"$build/package/files.txt"
found=$(find /usr \( -name '*varnholt*' -o -name "$id*" \) -print)
if [ -n "$found" ]; then
    say "left after removal: $found"
    left=1
fi
[ $left -eq 0 ]
say "removed cleanly"
