#!/bin/bash
# Installs what the build and the tests need on Debian 12 or 13, as root.
# Every step is skipped quickly when its result is already there, so `make`
# can call this on every run.
#
# A package mirror is sometimes caught mid-sync: one index fails to download,
# and the i386 and amd64 versions of a library it lists may then disagree
# (wine32:i386 cannot be installed, "held broken packages"). A failed index is
# tried once more and then done without; an install that fails is tried once
# more preferring the release's own versions, which both architectures have.
# Only then, never first: the release's own versions lack its security updates.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The release names a few packages its own way (ZEPH_OS_RELEASE: another
# system's os-release file, as the tests of set-up give it).
release=$(. "${ZEPH_OS_RELEASE:-/etc/os-release}" && echo "${VERSION_CODENAME:-}")
case "$release" in
    bookworm) clang_rt=libclang-rt-14-dev ;;
    *) clang_rt=libclang-rt-dev ;;
esac

# libengine-pkcs11-openssl: OpenSSL's engine for PKCS#11, through which
# osslsigncode signs with a key on a token; softhsm2: a token for the tests.
packages=(
    cmake ninja-build g++ clang "$clang_rt" libgtest-dev googletest
    libfreetype-dev fonts-dejavu-core pkg-config libpng-dev libimagequant-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine32:i386 wine64
    xvfb xdotool x11-utils x11-apps imagemagick ffmpeg procps xorriso fuseiso osslsigncode openssl python3-fusepy
    libengine-pkcs11-openssl softhsm2
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
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
# apt's first error line, which names what failed.
first_error() { sed -n 's/^E: //p' "$errors" | head -n 1; }

if ! apt-get update -qq 2>"$errors" && ! apt-get update -qq 2>"$errors"; then
    echo "setup: going on with the package indexes there are; one failed twice: $(first_error)" >&2
fi
apt_install() { apt-get install -y -qq --no-install-recommends "$@" >/dev/null 2>"$errors"; }
if ! apt_install "${need[@]}" && ! { [ -n "$release" ] && apt_install -t "$release" "${need[@]}"; }; then
    echo "setup: could not install ${need[*]} ($(first_error)); once the package mirror" \
         "answers in full, run: apt-get update && apt-get install --no-install-recommends ${need[*]}" >&2
    exit 1
fi
