#!/bin/bash
# `make proof`: what a disc's own launcher shows, taken from the real program
# under Wine, as one labelled sheet or a short moving preview (tools/proof.py,
# docs/disc-authors.md). DISC and OUT come as the author gave them; relative
# ones are the caller's, ZEPH_CALLER_DIR, the folder make ran in.
#
#   proof.sh DISC OUT [FORCE]     an empty DISC is the demo disc of the build
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$ZEPH_ROOT/scripts/wine-prefix.sh"
ZEPH_BUILD="$ZEPH_BUILD" exec python3 "$ZEPH_ROOT/tools/proof.py" "$ZEPH_BUILD/$ZEPH_TREE" \
    "${1:-$ZEPH_BUILD/$ZEPH_TREE/disc}" "${2:-}" "${3:-}"
