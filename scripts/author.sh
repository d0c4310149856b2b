# Sourced by the scripts of a disc author's commands: the paths the author
# gives, taken as given, and what a command writes, built aside and put in
# place only over the commands' own earlier work (tools/written.py).
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# A path as the author gave it, made absolute: a relative one is taken from
# the folder they ran make in (ZEPH_CALLER_DIR, which make -C keeps), else
# from the current one.
from_caller() {
    case $1 in
        /*) realpath -ms -- "$1" ;;
        *) realpath -ms -- "${ZEPH_CALLER_DIR:-$PWD}/$1" ;;
    esac
}

# build_aside OUT COMMAND...: runs COMMAND with OUT's own name as its last
# argument, in a fresh folder on the file system OUT really lies on, then puts
# what it wrote in place of OUT, whole or not at all. Nothing in OUT changes
# when the command fails, or when it would write over a file that is not the
# commands' own unchanged work (FORCE=1 writes over it all the same, but never
# over a folder). OUT and every path in COMMAND are absolute. It
# holds the EXIT trap while it runs, to take the folder aside away.
build_aside() {
    local out=$1 status=0 said force=() stopped=
    shift
    [ "${FORCE:-}" = 1 ] && force=(--force)
    ZEPH_ASIDE=$(python3 "$ZEPH_ROOT/tools/written.py" stage "$out") || return 1
    trap 'rm -rf "$ZEPH_ASIDE"' EXIT
    # What the command says of what it wrote is told once that is in place,
    # what it says of its failure as it fails. (set -e does not reach into
    # the command: it ends with the status of its own failure.)
    said=$(cd "$ZEPH_ASIDE" && "$@" "$(basename "$out")") || status=$?
    if [ $status = 0 ]; then
        # A stop asked for while the work is placed waits until placing has
        # ended, whole or put back (written.py holds its own and puts back).
        trap 'stopped=1' INT TERM HUP
        python3 "$ZEPH_ROOT/tools/written.py" place "${force[@]}" "$ZEPH_ASIDE" "$out" &&
            printf '%s\n' "$said" || status=$?
        trap - INT TERM HUP
        [ -z "${stopped:-}" ] || status=130
    elif [ -n "$said" ]; then
        printf '%s\n' "$said"
    fi
    rm -rf "$ZEPH_ASIDE"
    trap - EXIT
    return $status
}
