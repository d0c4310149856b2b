#!/bin/bash
# `make proof`: what a disc's own launcher shows, taken from the real program
# under Wine, as one labelled sheet or a short moving preview (tools/proof.py,
# docs/disc-authors.md). DISC and OUT come as the author gave them; relative
# ones are the caller's, ZEPH_CALLER_DIR, the folder make ran in.
#
#   proof.sh DISC OUT [FORCE [IDENTITY]]   an empty DISC is the demo disc of
#                                          the build, an empty IDENTITY the
#                                          demo's, whose layout it has
#
# It runs on an X server, a wineserver and so a Wine prefix of its own, in
# build/proof (ZEPH_PROOF names another folder: the tests' own runs of make
# proof keep apart from an author's): beside a `make test` or a `make run`,
# neither sees the other's windows, input or registry, and neither ends the
# other's servers. The prefix is made on the first run.
set -euo pipefail
unset DISPLAY WINEPREFIX
source "$(dirname "$0")/wine-env.sh"
home="${ZEPH_PROOF:-$ZEPH_BUILD/proof}"
export WINEPREFIX="$home/wineprefix-$ZEPH_WINE_ARCH" ZEPH_HARNESS="$home/harness"
mkdir -p "$home"
# One make proof at a time in that folder: a second would start its harness
# over the first one's.
exec 9>"$home/running"
if ! flock -n 9; then
    echo "proof: another make proof is running in $home; try again when it has ended" >&2
    exit 1
fi
"$ZEPH_ROOT/scripts/wine-prefix.sh" 9>&-
exec python3 "$ZEPH_ROOT/tools/proof.py" "$ZEPH_BUILD/$ZEPH_TREE" \
    "${1:-$ZEPH_BUILD/$ZEPH_TREE/disc}" "${2:-}" "${3:-}" "${4:-}"
