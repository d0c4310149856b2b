#!/bin/bash
# `make art-template` and `make bitmaps`, once their tools are built: starter
# art to paint over, with a guide to the window, or the launcher's bitmaps
# from an author's art. With an identity file both take its layout: the
# starter art is the demo's art generator's at its places and sizes, and the
# bitmaps are the pictures it has. OUT is written as build_aside writes
# (scripts/author.sh): only over these commands' own unchanged work, unless
# FORCE=1, and not at all when the tool fails.
#
#   art.sh template OUT [IDENTITY]
#   art.sh bitmaps ART OUT [FILL [IDENTITY]]   FILL=1: bmpset --fill-frames
set -euo pipefail
source "$(dirname "$0")/author.sh"
tools="$ZEPH_BUILD/host/tools"

case "${1:-}:$#" in
    template:2|template:3)
        command=template out=$2 identity=${3:-} ;;
    bitmaps:3|bitmaps:4|bitmaps:5)
        command=bitmaps art=$(from_caller "$2") out=$3 identity=${5:-}
        flags=()
        [ "${4:-}" = 1 ] && flags+=(--fill-frames) ;;
    *)
        echo "usage: art.sh template OUT [IDENTITY] | art.sh bitmaps ART OUT [FILL [IDENTITY]]" >&2
        exit 2 ;;
esac

# The identity file's layout as the tools read it, written in the folder
# aside where the commands below run; the file's faults stop them first.
layout=()
if [ -n "$identity" ]; then
    identity=$(from_caller "$identity")
    python3 "$ZEPH_ROOT/tools/identity.py" check "$identity" >/dev/null
    layout=(--layout layout.txt)
fi

# Each writes OUT's own name in the folder aside: the demo's pictures, or
# the generator's for the layout.
template() {
    if [ -z "$identity" ]; then
        "$tools/arttemplate" "$ZEPH_BUILD/host/disc-art/bitmaps" "$1"
    else
        "$tools/discart" "${layout[@]}" generated &&
            "$tools/arttemplate" "${layout[@]}" generated/bitmaps "$1"
    fi
}

bitmaps() {
    "$tools/bmpset" "${flags[@]}" "${layout[@]}" "$art" "$1"
}

laid_out() {
    [ -z "$identity" ] || python3 "$ZEPH_ROOT/tools/identity.py" layout "$identity" layout.txt || return
    "$command" "$1"
}

build_aside "$(from_caller "$out")" laid_out
