# Sourced by every script that runs Wine: the project's own prefix, quiet, and
# with no Mono or Gecko installer ever asking a question.
#
# The launcher is a 32-bit program and its prefix is a 32-bit one. Some
# virtual machines cannot execute 32-bit x86 code at all (the kernel refuses
# every 32-bit ELF, Wine's 32-bit loader included); there the Windows programs
# are also built for x86-64 and run in a 64-bit prefix, from the same sources.
ZEPH_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ZEPH_BUILD="${ZEPH_BUILD:-$ZEPH_ROOT/build}"
if [ -z "${ZEPH_WINE_ARCH:-}" ]; then
    if /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
        ZEPH_WINE_ARCH=win32
    else
        ZEPH_WINE_ARCH=win64
    fi
fi
export ZEPH_WINE_ARCH
export WINEARCH="$ZEPH_WINE_ARCH"
export WINEPREFIX="${WINEPREFIX:-$ZEPH_BUILD/wineprefix-$ZEPH_WINE_ARCH}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$ZEPH_WINE_ARCH" = win64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    WINE=/usr/lib/wine/wine64
else
    WINE=wine
fi
