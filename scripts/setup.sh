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
    libclang-rt-dev  # the fuzzers' runtime, which clang only recommends
    procps libxtst6  # pgrep and the X test extension of the screenshot scripts
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    SUDO=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "setup: installing packages needs root: run this as root, or install sudo" >&2
            exit 1
        fi
        SUDO=(sudo)
    fi
    # Waits for another apt-get or an unattended upgrade to finish rather than failing.
    APT=("${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
    "${APT[@]}" update -qq
    "${APT[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "setup: all packages present"
