#!/bin/bash
# Builds every tree: the native one (portable code, disc tools, host tests,
# fuzzers, the image generator), the product trees (the launcher, the demo
# programs and the disc) and the tree of the Wine tests. The product is
# always the 32-bit build; the same sources are also built for 64-bit
# Windows, and where this machine cannot execute 32-bit code, that build is
# the one that runs under Wine.
#
#   build.sh              every tree
#   build.sh sheet        every tree, and the contact sheet of the art
#   build.sh host [TARGET...]  the native tree only, or targets of it (the
#                              disc authors' tools need nothing else)
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$ZEPH_ROOT"

# The product trees for both processors, and the tree of the Wine tests for
# the one that runs here.
gtest_dir="$ZEPH_BUILD/$ZEPH_TREE-gtest"
cross_dirs="$ZEPH_BUILD/i686;$ZEPH_BUILD/x86_64;$gtest_dir"

configure() { # dir, cmake args...
    local dir=$1; shift
    # A tree configured otherwise (by an older layout, say) starts afresh.
    if [ "$(cat "$dir/configured-with" 2>/dev/null)" != "$*" ]; then
        rm -rf "$dir"
    fi
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -G Ninja -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
        echo "$*" >"$dir/configured-with"
    fi
}

# Where this machine runs 32-bit code, the product also runs as a 32-bit
# program on 64-bit Windows (WoW64), in a 64-bit prefix.
wow64=OFF
[ "$ZEPH_WINE_ARCH" = win32 ] && [ "$ZEPH_RUNS_I686" = 1 ] && wow64=ON

configure "$ZEPH_BUILD/host" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    "-DZEPH_CROSS_DIRS=$cross_dirs" "-DZEPH_WOW64=$wow64"

# The one date of everything that ships, the programs' PE time stamps and the
# image's dates: the last commit's time, unless SOURCE_DATE_EPOCH says
# otherwise, so that the same commit gives the same disc. The product trees
# read it from this file (scripts/source-date) and relink when it changes.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$ZEPH_ROOT" log -1 --format=%ct 2>/dev/null || true)}
if [ -n "$epoch" ] && [ "$(cat "$ZEPH_BUILD/host/source-date-epoch" 2>/dev/null)" != "$epoch" ]; then
    echo "$epoch" >"$ZEPH_BUILD/host/source-date-epoch"
fi
if [ "${1:-}" = host ]; then
    shift
    cmake --build "$ZEPH_BUILD/host" ${1:+--target "$@"}
    exit 0
fi
cmake --build "$ZEPH_BUILD/host"

# The product, as it ships, for 32-bit Windows; the same sources for 64-bit
# Windows too, so that every machine sees both compile and checks both
# trees' imports.
for tree in i686 x86_64; do
    configure "$ZEPH_BUILD/$tree" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$tree.cmake -DZEPH_THREADS=win32 \
        "-DZEPH_HOST_DIR=$ZEPH_BUILD/host"
    cmake --build "$ZEPH_BUILD/$tree"
done

# Listing the Wine tests runs them under Wine, in the finished prefix. They
# are built for the tree whose programs this machine can execute: the
# product itself wherever 32-bit code runs, else the x86-64 build.
"$ZEPH_ROOT/scripts/wine-prefix.sh"
configure "$gtest_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$ZEPH_TREE.cmake -DZEPH_THREADS=posix \
    "-DZEPH_HOST_DIR=$ZEPH_BUILD/host" "-DZEPH_PRODUCT_DIR=$ZEPH_BUILD/$ZEPH_TREE" \
    "-DZEPH_WOW64=$wow64"
cmake --build "$gtest_dir"

if [ "${1:-}" = sheet ]; then
    cmake --build "$ZEPH_BUILD/host" --target contact-sheet
fi
