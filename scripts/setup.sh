#!/usr/bin/env bash
# Installs, on a Debian 12 machine, every package that building, testing, benchmarking and
# running Tavrin and Morvel need. Idempotent: when everything is present it only checks.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config clang clang-format
    libsqlite3-dev sqlite3 libboost-dev
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libqt6uitools6
    libgl-dev libxkbcommon-dev libqt6opengl6-dev
    7zip
    libgtest-dev googletest libbenchmark-dev
    fonts-wqy-microhei
    qt6-translations-l10n
    xvfb x11-apps imagemagick xauth time
    python3
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "setup: all packages present"
