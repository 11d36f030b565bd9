#!/usr/bin/env bash
# Makes a Debian machine ready to build, test and run the program. Safe to run again:
# it installs only what is missing and says nothing when nothing is.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
    libcurl4-openssl-dev libxrandr-dev libx11-dev libsodium-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    xvfb xauth x11-xserver-utils x11-utils xdotool python3 python3-jsonschema
    clang libclang-rt-14-dev
    desktop-file-utils appstream lintian
    mangohud mesa-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
