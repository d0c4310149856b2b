#!/bin/bash
# `make iso`: the demo disc's image, which every build masters, or with a
# folder the image of any disc (docs/disc-authors.md), its programs signed
# when a certificate and key are given. Relative paths are the caller's; the
# image is made aside and put in place as build_aside does
# (scripts/author.sh): only over an image make iso wrote, unchanged since,
# unless FORCE=1.
#
#   iso.sh                                   the demo disc's image
#   iso.sh DISC ISO [SIGN_CERT SIGN_KEY]     the image of a disc folder
set -euo pipefail
source "$(dirname "$0")/author.sh"
disc=${1:-} iso=${2:-} cert=${3:-} key=${4:-}

if [ -z "$disc" ]; then
    [ -z "$iso$cert$key" ] || { echo "usage: make iso DISC=folder ISO=file [SIGN_CERT=cert SIGN_KEY=key]" >&2; exit 2; }
    "$ZEPH_ROOT/scripts/build.sh"
    ls -l "$ZEPH_BUILD/i686/zephrane-demo.iso"
    exit 0
fi
if [ -z "$iso" ] || { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
    echo "usage: make iso DISC=folder ISO=file [SIGN_CERT=cert SIGN_KEY=key]" >&2
    exit 2
fi

"$ZEPH_ROOT/scripts/build.sh" host startorder
"$ZEPH_ROOT/scripts/build.sh" host bmpcheck
args=()
if [ -n "$cert" ]; then
    args+=(--sign-cert "$(from_caller "$cert")" --sign-key "$(from_caller "$key")")
fi
build_aside "$(from_caller "$iso")" python3 "$ZEPH_ROOT/tools/mkiso.py" "${args[@]}" "$(from_caller "$disc")"
