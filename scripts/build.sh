#!/bin/bash
# Builds every tree: the native one (portable code, host tools, host tests,
# fuzzers, the image generator) and the cross trees (the launcher, the demo
# programs and the Wine tests). The product is always the 32-bit build; where
# this machine cannot execute 32-bit code, the same sources are also built for
# 64-bit Windows and that build is the one that runs under Wine.
#
#   build.sh              every tree
#   build.sh sheet        every tree, and the contact sheet of the art
#   build.sh host [TARGET]  the native tree only, or one target of it (the
#                           disc authors' tools need nothing else)
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$ZEPH_ROOT"

cross_dirs="$ZEPH_BUILD/i686"
[ "$ZEPH_WINE_ARCH" = win64 ] && cross_dirs="$cross_dirs;$ZEPH_BUILD/x86_64"

configure() { # dir, cmake args...
    local dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -G Ninja -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    fi
}

configure "$ZEPH_BUILD/host" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    "-DZEPH_CROSS_DIRS=$cross_dirs"
if [ "${1:-}" = host ]; then
    cmake --build "$ZEPH_BUILD/host" ${2:+--target "$2"}
    exit 0
fi
cmake --build "$ZEPH_BUILD/host"

# Listing the Wine tests runs them under Wine, in the finished prefix.
"$ZEPH_ROOT/scripts/wine-prefix.sh"

# The Wine tests run in the tree whose programs this machine can execute.
i686_tests=ON
[ "$ZEPH_WINE_ARCH" = win64 ] && i686_tests=OFF
configure "$ZEPH_BUILD/i686" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    "-DZEPH_HOST_DIR=$ZEPH_BUILD/host" "-DZEPH_WINE_TESTS=$i686_tests"
cmake --build "$ZEPH_BUILD/i686"
if [ "$ZEPH_WINE_ARCH" = win64 ]; then
    configure "$ZEPH_BUILD/x86_64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        "-DZEPH_HOST_DIR=$ZEPH_BUILD/host" -DZEPH_WINE_TESTS=ON
    cmake --build "$ZEPH_BUILD/x86_64"
fi

if [ "${1:-}" = sheet ]; then
    cmake --build "$ZEPH_BUILD/host" --target contact-sheet
fi
