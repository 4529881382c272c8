#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# The Windows test host runs the 32-bit .dle under Wine, which needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi

packages=(
    cmake g++ make pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libassimp-dev assimp-testmodels assimp-utils
    nlohmann-json3-dev libcli11-dev libstb-dev
    help2man
    chromium
    clang libclang-rt-dev
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    wine wine32:i386
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Node for the tests' glTF validator, from Debian unless a node with npm is already there.
if ! command -v npm >/dev/null 2>&1; then
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends nodejs npm
fi
# The validator itself, at the version package-lock.json pins.
npm ci --prefix "$(dirname "$0")/../tests/node" --no-audit --no-fund --loglevel=error
# The browser test's driver (it needs Node 20 or newer), at the locked version; it fetches no
# browser: the test uses Debian's chromium.
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefix "$(dirname "$0")/../tests/picture/browser" \
    --no-audit --no-fund --loglevel=error
