#!/usr/bin/env bash
# Sets the machine up, builds the program and starts it on the built-in demo set-up: a private
# registry, a stand-in Steam client and game in build/demo/steam, and the program key.
#   scripts/demo.sh [--modern] [PROGRAM ARGUMENTS]
# --modern: today's Steam on Linux instead (see below).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only what runs here: the program, its plugin, tools and shipped files, and the stand-ins
# (the target group varnholt_run); scripts/test.sh builds everything.
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)" --target varnholt_run

demo=$PWD/build/demo
bin=$PWD/build/bin

# --modern: the layout of a Linux machine today, in build/demo/today: no Steam path in the
# registry, the Steam root below a home folder of the demo's own, the game in a second library,
# the stand-in steam command on the PATH and its client running. The program runs with that
# home folder and PATH, so it finds the game as on a real machine.
if [ "${1:-}" = "--modern" ]; then
    shift
    today=$demo/today
    export VARNHOLT_REGISTRY_DIR=$today/registry/
    eval "$("$bin/testbed-layout" --modern "$today")"
    sid="S-1-22-1-$(id -u)"
    "$bin/reg" add "HKU\\$sid\\Software\\Valve\\Source\\episodic\\Settings" /f >/dev/null
    scripts/install.sh "$today/program" >/dev/null
    key='HKLM\SOFTWARE\Quillon\Ostrevo'
    if ! "$bin/reg" query "$key" /v Demo >/dev/null 2>&1; then
        "$bin/reg" add "$key" /v Demo /t REG_SZ /d 1 /f >/dev/null
    fi
    export XAUTHORITY=${XAUTHORITY:-$HOME/.Xauthority}
    export HOME=${HOME_DIR%/} PATH=$COMMAND_DIR:$PATH
    (cd "$HOME" && exec setsid -f "$STEAM_COMMAND") </dev/null >/dev/null 2>&1
    echo "Demo set-up (today's layout): registry in $VARNHOLT_REGISTRY_DIR, home in $HOME, game in $GAME_DIR"
    exec "$today/program/varnholt" "$@"
fi
export VARNHOLT_REGISTRY_DIR=$demo/registry/
mkdir -p "$demo"

# The stand-in Steam folder (laid out again on every start; the game's files are kept).
eval "$("$bin/testbed-layout" "$demo/steam")"
steam_path=${STEAM_DIR%/}

# What an installation and a Steam client leave in the registry. The program never creates its
# own key; the install step does.
"$bin/reg" add 'HKLM\SOFTWARE\Quillon\Ostrevo' /f >/dev/null
"$bin/reg" add 'HKCU\Software\Valve\Steam' /v SteamPath /t REG_SZ /d "$steam_path" /f >/dev/null
sid="S-1-22-1-$(id -u)"
"$bin/reg" add "HKU\\$sid\\Software\\Valve\\Source\\episodic\\Settings" /f >/dev/null

# The program folder, laid out by the install step (which also creates the program key).
scripts/install.sh "$demo/program" >/dev/null
program=$demo/program

# A first start of the demo set-up plays the shipped demo; later starts keep the user's choice.
key='HKLM\SOFTWARE\Quillon\Ostrevo'
if ! "$bin/reg" query "$key" /v Demo >/dev/null 2>&1; then
    "$bin/reg" add "$key" /v Demo /t REG_SZ /d 1 /f >/dev/null
fi

# The stand-in Steam client, as a user would have it running (a second start ends at once).
(cd "$STEAM_DIR" && exec setsid -f "$STEAM_EXE") </dev/null >/dev/null 2>&1

echo "Demo set-up: registry in $VARNHOLT_REGISTRY_DIR, Steam in $STEAM_DIR"
exec "$program/varnholt" "$@"
