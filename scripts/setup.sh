#!/bin/bash
# Installs what the build and the tests need on Debian 12, as root. Every step
# is skipped quickly when its result is already there, so `make` can call this
# on every run.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest
    libfreetype-dev fonts-dejavu-core pkg-config libpng-dev libimagequant-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine32:i386 wine64
    xvfb xdotool x11-utils x11-apps imagemagick ffmpeg procps xorriso fuseiso osslsigncode openssl python3-fusepy
)
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${need[*]}); run as root or install them" >&2
    exit 1
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
echo "setup: installing ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
