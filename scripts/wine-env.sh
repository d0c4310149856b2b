# Sourced by every script that runs Wine: the project's own prefix, quiet, and
# with no Mono or Gecko installer ever asking a question. ZEPH_WINE_ARCH and
# ZEPH_TREE, or ZEPH_WOW64, when set, choose the prefix and the programs.
#
# The launcher is a 32-bit program and its prefix is a 32-bit one. Some
# virtual machines cannot execute 32-bit x86 code at all (the kernel refuses
# every 32-bit ELF, Wine's 32-bit loader included); there the Windows programs
# are also built for x86-64 and run in a 64-bit prefix, from the same sources.
ZEPH_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ZEPH_BUILD="${ZEPH_BUILD:-$ZEPH_ROOT/build}"
# ZEPH_RUNS_I686=0 makes a machine that runs 32-bit code behave as one that
# cannot, to try that path.
if [ -z "${ZEPH_RUNS_I686:-}" ]; then
    if /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
        ZEPH_RUNS_I686=1
    else
        ZEPH_RUNS_I686=0
    fi
fi
export ZEPH_RUNS_I686
# ZEPH_WOW64=1: the product as 64-bit Windows runs it, a 32-bit program in a
# 64-bit prefix.
if [ "${ZEPH_WOW64:-0}" = 1 ]; then
    ZEPH_WINE_ARCH=win64
    ZEPH_TREE=i686
    # The caller's prefix, a 32-bit one, is not this one.
    unset WINEPREFIX
fi
if [ -z "${ZEPH_WINE_ARCH:-}" ]; then
    if [ "$ZEPH_RUNS_I686" = 1 ]; then ZEPH_WINE_ARCH=win32; else ZEPH_WINE_ARCH=win64; fi
fi
export ZEPH_WINE_ARCH
# The cross tree whose programs run: the product itself wherever its prefix
# is a 32-bit one. A 64-bit prefix runs the x86-64 build, or, with
# ZEPH_TREE=i686, the product as a 32-bit program on 64-bit Windows (WoW64).
if [ -z "${ZEPH_TREE:-}" ]; then
    if [ "$ZEPH_WINE_ARCH" = win64 ]; then ZEPH_TREE=x86_64; else ZEPH_TREE=i686; fi
fi
export ZEPH_TREE
export WINEARCH="$ZEPH_WINE_ARCH"
export WINEPREFIX="${WINEPREFIX:-$ZEPH_BUILD/wineprefix-$ZEPH_WINE_ARCH}"
# The folder where scripts/harness.sh keeps the ids and displays of the X
# server and wineserver it started: the tests' own, unless a program that
# runs a harness of its own beside them (make proof) names another.
export ZEPH_HARNESS="${ZEPH_HARNESS:-$ZEPH_BUILD/harness}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$ZEPH_WINE_ARCH" = win64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    WINE=/usr/lib/wine/wine64
else
    WINE=wine
fi
