#!/bin/bash
# `make iso`: the demo disc's image, which every build masters, or with a
# folder the image of any disc, its programs signed when a key is given (a
# PEM chain with its key file, a .pfx with its password's file, a PEM chain
# with a key on a token and the token's PKCS#11 module, or a signing
# service's own command), and verified against SIGN_ROOT or the machine's
# trusted roots; its pictures are checked for the layout of its IDENTITY
# file, or the demo's. Relative paths are the caller's; the image is made
# aside and put in place as build_aside does (scripts/author.sh): only over an
# image make iso wrote, unchanged since, unless FORCE=1.
#
#   iso.sh                                   the demo disc's image
#   iso.sh DISC ISO [SIGN_CERT SIGN_KEY SIGN_PASS_FILE SIGN_ROOT SIGN_PKCS11_MODULE SIGN_CMD
#          [IDENTITY]]
#                                            the image of a disc folder
set -euo pipefail
source "$(dirname "$0")/author.sh"
disc=${1:-} iso=${2:-} cert=${3:-} key=${4:-} pass_file=${5:-} root=${6:-} module=${7:-} command=${8:-}
identity=${9:-}
usage="usage: make iso DISC=folder ISO=file [IDENTITY=file] [SIGN_CERT=chain.pem SIGN_KEY=key | SIGN_CERT=file.pfx SIGN_PASS_FILE=file | SIGN_CERT=chain.pem SIGN_KEY='pkcs11:token=...;object=...' SIGN_PKCS11_MODULE=module.so SIGN_PASS_FILE=pin | SIGN_CMD='program arguments'] [SIGN_ROOT=roots.pem] [FORCE=1]"

if [ -z "$disc" ]; then
    [ -z "$iso$cert$key$pass_file$root$module$command$identity" ] || { echo "$usage" >&2; exit 2; }
    "$ZEPH_ROOT/scripts/build.sh"
    ls -l "$ZEPH_BUILD/i686/zephrane-demo.iso"
    exit 0
fi
[ -n "$iso" ] || { echo "$usage" >&2; exit 2; }

"$ZEPH_ROOT/scripts/build.sh" host startorder
"$ZEPH_ROOT/scripts/build.sh" host bmpcheck
# Which of them belong together is mkiso's to say.
args=()
[ -z "$cert" ] || args+=(--sign-cert "$(from_caller "$cert")")
case "$key" in
    "") ;;
    pkcs11:*) args+=(--sign-key "$key") ;;
    *) args+=(--sign-key "$(from_caller "$key")") ;;
esac
[ -z "$pass_file" ] || args+=(--sign-pass-file "$(from_caller "$pass_file")")
[ -z "$root" ] || args+=(--sign-root "$(from_caller "$root")")
[ -z "$module" ] || args+=(--sign-pkcs11-module "$(from_caller "$module")")
# The command's own paths are taken from the caller's folder, where it runs.
[ -z "$command" ] || args+=(--sign-cmd "$command")
[ -z "$identity" ] || args+=(--identity "$(from_caller "$identity")")
build_aside "$(from_caller "$iso")" python3 "$ZEPH_ROOT/tools/mkiso.py" "${args[@]}" "$(from_caller "$disc")"
