#!/bin/bash
# `make proof`: what a disc's own launcher shows, taken from the real program
# under Wine, as one labelled sheet or a short moving preview (tools/proof.py,
# docs/disc-authors.md). DISC and OUT come as the author gave them; relative
# ones are the caller's, ZEPH_CALLER_DIR, the folder make ran in.
#
#   proof.sh DISC OUT [FORCE]     an empty DISC is the demo disc of the build
#
# It runs on an X server, a wineserver and so a Wine prefix of its own, in
# build/proof: beside a `make test` or a `make run`, neither sees the other's
# windows, input or registry, and neither ends the other's servers. The
# prefix is made on the first run.
set -euo pipefail
unset DISPLAY WINEPREFIX
source "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$ZEPH_BUILD/proof/wineprefix-$ZEPH_WINE_ARCH" ZEPH_HARNESS="$ZEPH_BUILD/proof/harness"
mkdir -p "$ZEPH_BUILD/proof"
# One make proof at a time in a build: a second would start its harness over
# the first one's.
exec 9>"$ZEPH_BUILD/proof/running"
if ! flock -n 9; then
    echo "proof: another make proof is running in $ZEPH_BUILD; try again when it has ended" >&2
    exit 1
fi
"$ZEPH_ROOT/scripts/wine-prefix.sh" 9>&-
exec python3 "$ZEPH_ROOT/tools/proof.py" "$ZEPH_BUILD/$ZEPH_TREE" \
    "${1:-$ZEPH_BUILD/$ZEPH_TREE/disc}" "${2:-}" "${3:-}"
