#!/usr/bin/env bash
# Installs, on a Debian 12 machine, every package that building, testing, benchmarking and
# running Tavrin and Morvel need. Idempotent: when everything is present it only checks.
#
# --windows installs instead what the Windows check (scripts/test-windows.sh) needs: the
# MinGW-w64 cross compiler, Wine, GoogleTest's sources, Boost's headers and npm, and fetches
# the SQLite amalgamation (npm pack of better-sqlite3, its version and SHA-256 checked) into
# $TAVRIN_WINDOWS_CACHE (default ~/.cache/tavrin-windows). Nothing of it is needed otherwise.
set -euo pipefail

WINDOWS=0
case ${1:-} in
--windows) WINDOWS=1 ;;
"") ;;
*)
    echo "usage: setup.sh [--windows]" >&2
    exit 2
    ;;
esac

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
if ((WINDOWS)); then
    PACKAGES=(
        cmake ninja-build python3 libboost-dev googletest
        g++-mingw-w64-x86-64-posix
        wine wine64
        ca-certificates
    )
fi

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
# npm fetches the amalgamation; a Node.js installation of another origin may bring its own.
if ((WINDOWS)) && ! command -v npm >/dev/null; then
    missing+=(npm)
fi

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
((WINDOWS)) || exit 0

# The official SQLite amalgamation for the Windows build: Debian ships none for MinGW, and
# better-sqlite3 carries it unchanged in deps/sqlite3/.
SQLITE_PACKAGE=better-sqlite3
SQLITE_PACKAGE_VERSION=12.4.1
SQLITE_PACKAGE_SHA256=14398acbf00d1e8fe0a2753df7d4f15c13138e4b874f4e6e96791f65b4536d0d
SQLITE_VERSION=3.50.4
CACHE=${TAVRIN_WINDOWS_CACHE:-$HOME/.cache/tavrin-windows}
SOURCES=$CACHE/sqlite-$SQLITE_VERSION
if [ ! -f "$SOURCES/sqlite3.c" ] || [ ! -f "$SOURCES/sqlite3.h" ]; then
    mkdir -p "$CACHE"
    tgz=$CACHE/$SQLITE_PACKAGE-$SQLITE_PACKAGE_VERSION.tgz
    if [ ! -f "$tgz" ] || ! echo "$SQLITE_PACKAGE_SHA256  $tgz" | sha256sum -c --status; then
        echo "setup: fetching the SQLite amalgamation ($SQLITE_PACKAGE $SQLITE_PACKAGE_VERSION)"
        # Node.js trusts only the authorities it was built with; npm also trusts the machine's
        # store (ca-certificates, with any authority its administrator added), as apt and curl do.
        bundle=/etc/ssl/certs/ca-certificates.crt
        if [ -z "${NODE_EXTRA_CA_CERTS:-}" ] && [ -s "$bundle" ]; then
            export NODE_EXTRA_CA_CERTS=$bundle
        fi
        if ! (cd "$CACHE" && npm pack --loglevel=warn "$SQLITE_PACKAGE@$SQLITE_PACKAGE_VERSION"); then
            echo "setup: npm pack $SQLITE_PACKAGE@$SQLITE_PACKAGE_VERSION failed" >&2
            log=$(ls -t "$HOME"/.npm/_logs/*.log 2>/dev/null | head -1 || true)
            [ -z "$log" ] || tail -20 "$log" >&2
            exit 1
        fi
    fi
    if ! echo "$SQLITE_PACKAGE_SHA256  $tgz" | sha256sum -c --status; then
        echo "setup: $tgz does not have the expected SHA-256" >&2
        exit 1
    fi
    rm -rf "$SOURCES.part" && mkdir -p "$SOURCES.part"
    tar -xzf "$tgz" -C "$SOURCES.part" --strip-components=3 package/deps/sqlite3/sqlite3.c \
        package/deps/sqlite3/sqlite3.h
    if ! grep -q "^#define SQLITE_VERSION  *\"$SQLITE_VERSION\"" "$SOURCES.part/sqlite3.h"; then
        echo "setup: the amalgamation in $tgz is not SQLite $SQLITE_VERSION" >&2
        exit 1
    fi
    rm -rf "$SOURCES" && mv "$SOURCES.part" "$SOURCES"
fi
echo "setup: SQLite $SQLITE_VERSION amalgamation in $SOURCES"
