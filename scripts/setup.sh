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
    libengine-pkcs11-openssl softhsm2 locales
)

# The host locales the tests run Wine in. Wine takes its ANSI code page from
# the locale (ja_JP.UTF-8 gives 932, zh_CN.UTF-8 936, zh_TW.UTF-8 950,
# de_DE.UTF-8 1252), and where the locale is not generated it misreads every
# folder name outside ASCII and starts nothing from one. ZEPH_LOCALE_GEN:
# another list of locales to build, as the tests of set-up give it.
test_locales=(ja_JP.UTF-8 zh_CN.UTF-8 zh_TW.UTF-8 de_DE.UTF-8)
locale_gen=${ZEPH_LOCALE_GEN:-/etc/locale.gen}
generate_locales() {
    local missing=() l
    for l in "${test_locales[@]}"; do
        locale -a 2>/dev/null | grep -qix "${l%%.*}.utf8" || missing+=("$l")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: the locales ${missing[*]} are not generated, and the tests of other code" \
             "pages need them: run set-up as root, or add them to $locale_gen and run locale-gen" >&2
        return 0
    fi
    echo "setup: generating the locales ${missing[*]}"
    for l in "${missing[@]}"; do
        # Debian's list holds each locale as a comment; one it lacks is added.
        sed -i "s/^# *$l UTF-8\$/$l UTF-8/" "$locale_gen"
        grep -qx "$l UTF-8" "$locale_gen" || echo "$l UTF-8" >>"$locale_gen"
    done
    locale-gen --keep-existing >/dev/null
}

for p in "${packages[@]}"; do have "$p" || need+=("$p"); done
if [ ${#need[@]} -eq 0 ]; then
    generate_locales
    exit 0
fi

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
generate_locales
