#!/bin/bash
# `make art-template` and `make bitmaps`, once their tools are built: the
# demo's pictures as PNG art to paint over, with a guide to the window, or
# the launcher's 91 bitmaps from an author's art. OUT is written as
# build_aside writes (scripts/author.sh): only over these commands' own
# unchanged work, unless FORCE=1, and not at all when the tool fails.
#
#   art.sh template OUT
#   art.sh bitmaps ART OUT [FILL]   FILL=1: bmpset --fill-frames
set -euo pipefail
source "$(dirname "$0")/author.sh"
tools="$ZEPH_BUILD/host/tools"

case "${1:-}:$#" in
    template:2)
        build_aside "$(from_caller "$2")" "$tools/arttemplate" "$ZEPH_BUILD/host/disc-art/bitmaps" ;;
    bitmaps:3|bitmaps:4)
        flags=()
        [ "${4:-}" = 1 ] && flags+=(--fill-frames)
        build_aside "$(from_caller "$3")" "$tools/bmpset" "${flags[@]}" "$(from_caller "$2")" ;;
    *)
        echo "usage: art.sh template OUT | art.sh bitmaps ART OUT [FILL]" >&2
        exit 2 ;;
esac
