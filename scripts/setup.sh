#!/usr/bin/env bash
# Installs every Debian package Tilebloom needs to build, run and test. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libqt6sql6-sqlite
    libgtest-dev googletest libbenchmark-dev
    libpng-dev zlib1g-dev sqlite3 libsqlite3-dev
    clang libclang-rt-14-dev
    xvfb xauth
    qt6-image-formats-plugins
    xdotool at-spi2-core dbus python3-pyatspi python3-pil python3-xlib
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
