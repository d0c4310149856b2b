#!/bin/bash
# Builds every tree: the native one (portable code, host tools, host tests,
# fuzzers, the image generator) and the cross trees (the launcher, the demo
# programs and the Wine tests). The product is always the 32-bit build; the
# same sources are also built for 64-bit Windows, and where this machine
# cannot execute 32-bit code, that build is the one that runs under Wine.
#
#   build.sh              every tree
#   build.sh sheet        every tree, and the contact sheet of the art
#   build.sh host [TARGET]  the native tree only, or one target of it (the
#                           disc authors' tools need nothing else)
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$ZEPH_ROOT"

cross_dirs="$ZEPH_BUILD/i686;$ZEPH_BUILD/x86_64"

configure() { # dir, cmake args...
    local dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -G Ninja -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    fi
}

# Where this machine runs 32-bit code, the product also runs as a 32-bit
# program on 64-bit Windows (WoW64), in a 64-bit prefix.
wow64=OFF
[ "$ZEPH_WINE_ARCH" = win32 ] && [ "$ZEPH_RUNS_I686" = 1 ] && wow64=ON

configure "$ZEPH_BUILD/host" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    "-DZEPH_CROSS_DIRS=$cross_dirs" "-DZEPH_WOW64=$wow64"
if [ "${1:-}" = host ]; then
    cmake --build "$ZEPH_BUILD/host" ${2:+--target "$2"}
    exit 0
fi
cmake --build "$ZEPH_BUILD/host"

# Listing the Wine tests runs them under Wine, in the finished prefix.
"$ZEPH_ROOT/scripts/wine-prefix.sh"

# The Wine tests run in the tree whose programs this machine can execute.
i686_tests=OFF
[ "$ZEPH_TREE" = i686 ] && i686_tests=ON
configure "$ZEPH_BUILD/i686" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    "-DZEPH_HOST_DIR=$ZEPH_BUILD/host" "-DZEPH_WINE_TESTS=$i686_tests" "-DZEPH_WOW64=$wow64"
cmake --build "$ZEPH_BUILD/i686"
# The x86-64 build is made everywhere, so that every machine sees both trees
# compile and checks both trees' imports; its Wine tests run only where it
# stands in for the product.
x86_64_tests=OFF
[ "$ZEPH_TREE" = x86_64 ] && x86_64_tests=ON
configure "$ZEPH_BUILD/x86_64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    "-DZEPH_HOST_DIR=$ZEPH_BUILD/host" "-DZEPH_WINE_TESTS=$x86_64_tests"
cmake --build "$ZEPH_BUILD/x86_64"

if [ "${1:-}" = sheet ]; then
    cmake --build "$ZEPH_BUILD/host" --target contact-sheet
fi
