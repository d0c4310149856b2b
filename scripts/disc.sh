#!/bin/bash
# Makes a complete disc folder for a disc author: the launcher built for the
# disc's identity, the bitmaps of its layout made from the author's art,
# autorun.inf written from the identity, and the author's own files.
#
#   disc.sh IDENTITY ART FILES OUT [ARCH] [FILL]
#
# ARCH is the launcher's processor: i686, the product, or x86_64 for a
# machine that cannot execute 32-bit code (a folder to try under Wine there,
# not one to ship). FILL=1 fills flame frames 17 to 30 from frames 1 to 14.
# The identity is checked before anything is built; the bitmaps are checked
# as bmpcheck checks them. Relative paths are the caller's; the folder is
# built aside and put in place as build_aside does (scripts/author.sh): only
# over make disc's own unchanged work, unless FORCE=1.
set -euo pipefail
source "$(dirname "$0")/author.sh"
[ $# -ge 4 ] || { echo "usage: disc.sh IDENTITY ART FILES OUT [ARCH] [FILL]" >&2; exit 2; }
identity=$(from_caller "$1") art=$(from_caller "$2") files=$(from_caller "$3") out=$(from_caller "$4")
arch=${5:-i686} fill=${6:-}
say() { echo "disc: $*"; }
fail() { echo "disc: $*" >&2; exit 1; }

case "$arch" in i686|x86_64) ;; *) fail "ARCH=$arch: the launcher is built for i686 or x86_64" ;; esac
python3 "$ZEPH_ROOT/tools/identity.py" check "$identity" || exit 1
[ -d "$art" ] || fail "ART=$art is not a folder"
[ -d "$files" ] || fail "FILES=$files is not a folder"
# What the disc's make writes must not come from FILES as well.
clash=$(find "$files" -mindepth 1 -maxdepth 1 \( -iname launcher.exe -o -iname autorun.inf \
        -o -iname bitmaps \) -printf '%f ')
[ -z "$clash" ] || fail "FILES holds ${clash% }, which make disc writes itself: take it out of $files"
case "$(realpath -m -- "$out")/" in
    "$(realpath -- "$files")/"*|"$(realpath -- "$art")/"*) fail "OUT=$out lies inside FILES or ART" ;;
esac

# The native tools, then a product tree of this disc's own that builds only
# the launcher. The identity goes into the tree resolved (every key given,
# the icon's path absolute), and a tree that has built another identity
# before recompiles only what names it.
"$ZEPH_ROOT/scripts/build.sh" host bmpset bmpcheck startorder disc-art
tree="$ZEPH_BUILD/disc-$arch"
mkdir -p "$tree"
python3 "$ZEPH_ROOT/tools/identity.py" resolved "$identity" "$tree/identity.txt"
args=("-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake" -DZEPH_THREADS=win32
      "-DZEPH_HOST_DIR=$ZEPH_BUILD/host" "-DZEPH_IDENTITY=$tree/identity.txt")
if [ "$(cat "$tree/configured-with" 2>/dev/null)" != "${args[*]}" ] || [ ! -f "$tree/build.ninja" ]; then
    find "$tree" -mindepth 1 -maxdepth 1 ! -name identity.txt -exec rm -rf {} +
    (cd "$ZEPH_ROOT" && cmake -G Ninja -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release "${args[@]}" >/dev/null)
    echo "${args[*]}" >"$tree/configured-with"
fi
# The same layout for bmpset as for the launcher.
python3 "$ZEPH_ROOT/tools/identity.py" layout "$tree/identity.txt" "$tree/layout.txt"
say "building the launcher for this identity ($arch) in $tree"
if ! cmake --build "$tree" --target launcher >"$tree/build.log" 2>&1; then
    cat "$tree/build.log" >&2
    fail "the launcher did not build (above)"
fi

flags=()
[ "$fill" = 1 ] && flags+=(--fill-frames)
# The disc folder, written under its own name in the folder aside.
assemble() {
    "$ZEPH_BUILD/host/tools/bmpset" "${flags[@]}" --layout "$tree/layout.txt" "$art" "$1/bitmaps" ||
        fail "the bitmaps are not in order (above); $out is left as it was"
    cp "$tree/app/launcher.exe" "$1/launcher.exe" && cp "$tree/identity/autorun.inf" "$1/autorun.inf" &&
        cp -R "$files/." "$1/"
}
say "making the bitmaps from $art"
build_aside "$out" assemble || exit 1
game=$(python3 "$ZEPH_ROOT/tools/identity.py" get "$identity" game)
pictures=$("$ZEPH_BUILD/host/tools/startorder" --layout "$tree/layout.txt" | wc -l)
# Whether the layout has the button, as the resolved identity says.
has() { [ "$(python3 "$ZEPH_ROOT/tools/identity.py" get "$tree/identity.txt" "$1")" != none ]; }

echo
say "wrote the disc folder $out:"
printf '  %-22s %s\n' launcher.exe "the launcher, built for $identity ($arch)" \
    autorun.inf "label=$(python3 "$ZEPH_ROOT/tools/identity.py" get "$identity" label)" \
    "bitmaps/" "the $pictures pictures of its layout from $art, checked as bmpcheck checks them"
for f in "$files"/* "$files"/.[!.]*; do
    [ -e "$f" ] || continue
    printf '  %-22s %s\n' "$(basename "$f")$([ -d "$f" ] && echo /)" "from $files"
done
# What the launcher starts from the disc, and what a reader of this list
# would look for.
if has install && [ -z "$(find "$files" -maxdepth 1 -iname setup.exe)" ]; then
    say "note: FILES has no setup.exe: INSTALL says it cannot be started"
fi
if has readme && [ -z "$(find "$files" -maxdepth 1 -iname readme.txt)" ]; then
    say "note: FILES has no readme.txt: READ ME opens nothing"
fi
if has play && [ -z "$(find "$files" -iname "$game")" ]; then
    say "note: FILES has no $game anywhere: PLAY starts it from the folder your setup installs it to"
fi
# (.written-by-make.json: tools/written.py's list of what make wrote.)
stale=$(cd "$out" && find . -mindepth 1 -maxdepth 1 ! -iname launcher.exe ! -iname autorun.inf \
        ! -iname bitmaps ! -name .written-by-make.json -printf '%f\n' |
        while read -r f; do [ -e "$files/$f" ] || echo "$f"; done)
[ -z "$stale" ] || say "note: $out also holds $(echo $stale), from before: not from FILES, left in place"
say "see it: make run DISC=\"$out\""
