#!/bin/bash
# Starts (or stops) what the Wine and end-to-end tests share: a private X
# server and a persistent wineserver for the project's prefix. Both are found
# again by the process ids written under build/harness.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
state="$ZEPH_BUILD/harness"

start() {
    stop quiet
    mkdir -p "$state"
    "$ZEPH_ROOT/scripts/wine-prefix.sh"
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
    [ -e "/tmp/.X11-unix/X$n" ] || { echo "harness: Xvfb :$n did not start" >&2; exit 1; }
    echo ":$n" >"$state/display"
    export DISPLAY=":$n"
    # The server and Wine's services inherit stdout from whoever starts them;
    # started here with nothing attached, no test runner waits on them.
    setsid wineserver -p >/dev/null 2>&1 </dev/null &
    setsid "$WINE" wineboot >/dev/null 2>&1 </dev/null
    pgrep -f -n wineserver >"$state/wineserver.pid" || true
    echo "harness: display :$n, prefix $WINEPREFIX"
}

stop() {
    [ -d "$state" ] || return 0
    wineserver -k >/dev/null 2>&1 || true
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    fi
    rm -f "$state/xvfb.pid" "$state/display" "$state/wineserver.pid"
    [ "${1:-}" = quiet ] || echo "harness: stopped"
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
