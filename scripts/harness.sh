#!/bin/bash
# Starts (or stops) what the Wine and end-to-end tests share: a private X
# server and a persistent wineserver for the project's prefix. Both are found
# again by the process ids written under ZEPH_HARNESS (build/harness, unless
# the caller names another folder, with a prefix of its own: a harness beside
# the tests' that neither disturbs nor ends theirs).
#
# depth-start N moves the wineserver to a second X server of N bits per
# pixel (8: a palette device, where palette realisation decides the colours on
# the screen; 16: high colour) and prints its display; depth-stop moves it back
# to the first. wine-restart replaces the wineserver with a new one on the
# same display.
#
# wow64-start and wow64-stop start and end, beside the 32-bit prefix's, the
# server of the 64-bit prefix on the same display, in which the tests run the
# 32-bit launcher as 64-bit Windows runs it; the prefix is made on first use.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
state="$ZEPH_HARNESS"
# The servers outlive the test that moved them here: they are no session's
# programs, which the session's end would find by this mark and kill.
unset ZEPH_SESSION

xvfb() { # pid file, display file, depth: starts an X server on a free display
    local n=90 pid tries
    for tries in $(seq 10); do
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        setsid Xvfb ":$n" -screen 0 "1024x768x$3" -nolisten tcp >/dev/null 2>&1 </dev/null &
        pid=$!
        echo $pid >"$state/$1"
        for _ in $(seq 100); do
            kill -0 $pid 2>/dev/null || break
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.05
        done
        # Another harness may have taken the same display a moment earlier:
        # the display is this one's only when its lock names this server.
        if [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ] && [ -e "/tmp/.X11-unix/X$n" ]; then
            break
        fi
        if kill -0 $pid 2>/dev/null || [ "$tries" = 10 ]; then
            echo "harness: Xvfb :$n did not start" >&2
            exit 1
        fi
        n=$((n + 1))
    done
    echo ":$n" >"$state/$2"
}

wine_up() { # display
    export DISPLAY="$1"
    # The server and Wine's services inherit stdout from whoever starts them;
    # started here with nothing attached, no test runner waits on them.
    # The persistent server is up when this returns (it waits itself for one
    # still ending). Started beside wineboot, it could lose the race to the
    # server wineboot starts on its own: that one ends three seconds after
    # the last program, and each program after it starts another, unrecorded.
    # One that a straggler started meanwhile is not persistent: it makes
    # way for this one.
    if ! setsid wineserver -p >/dev/null 2>&1 </dev/null; then
        wineserver -k >/dev/null 2>&1 || true
        setsid wineserver -p >/dev/null 2>&1 </dev/null
    fi
    setsid "$WINE" wineboot >/dev/null 2>&1 </dev/null
    # This prefix's server, not the newest of any: another harness's may run.
    local pid
    for pid in $(pgrep wineserver); do
        if grep -qzxsF "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ"; then
            echo "$pid" >"$state/wineserver-$ZEPH_WINE_ARCH.pid"
        fi
    done
}

wine_down() {
    local pid
    # A new server cannot start while the old one still holds the prefix:
    # waited for by the prefix's lock, which also knows a server no one
    # recorded.
    wineserver -k >/dev/null 2>&1 || true
    timeout 60 wineserver -w >/dev/null 2>&1 || true
    # Wine's services can outlive a server stopped while they were starting.
    # They are this prefix's own Windows programs: end them by their ids.
    local file
    for file in $(grep -lzxsF "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ); do
        pid="${file#/proc/}" pid="${pid%/environ}"
        if { tr '\0' '\n' <"/proc/$pid/cmdline"; } 2>/dev/null | head -1 | grep -q '^[A-Za-z]:\\'; then
            kill -9 "$pid" 2>/dev/null || true
        fi
    done
}

start() {
    stop quiet
    mkdir -p "$state"
    "$ZEPH_ROOT/scripts/wine-prefix.sh"
    xvfb xvfb.pid display 24
    wine_up "$(cat "$state/display")"
    echo "harness: display $DISPLAY, prefix $WINEPREFIX"
}

depth_start() { # bits per pixel
    [ -f "$state/display" ] || { echo "harness: not started" >&2; exit 1; }
    depth_stop_xvfb
    wine_down
    xvfb xvfb-depth.pid display-depth "$1"
    wine_up "$(cat "$state/display-depth")"
    echo "$DISPLAY"
}

depth_stop_xvfb() {
    if [ -f "$state/xvfb-depth.pid" ]; then
        kill "$(cat "$state/xvfb-depth.pid")" 2>/dev/null || true
    fi
    rm -f "$state/xvfb-depth.pid" "$state/display-depth"
}

depth_stop() {
    [ -f "$state/display-depth" ] || return 0
    wine_down
    depth_stop_xvfb
    wine_up "$(cat "$state/display")"
}

# A new wineserver on the same display: the registry's volatile keys, which
# live only as long as their server, start afresh.
wine_restart() {
    [ -f "$state/display" ] || { echo "harness: not started" >&2; exit 1; }
    wine_down
    wine_up "$(cat "$state/display")"
}

# The 64-bit prefix's server, run by this same script with that prefix's
# settings.
wow64() { # start|stop
    if [ "$1" = start ]; then
        [ -f "$state/display" ] || { echo "harness: not started" >&2; exit 1; }
        [ "$ZEPH_RUNS_I686" = 1 ] || { echo "harness: this machine cannot run 32-bit code" >&2; exit 1; }
    fi
    env -u WINEPREFIX -u WINELOADER -u ZEPH_WINE_ARCH -u ZEPH_TREE ZEPH_WOW64=1 "$0" "wow64-$1-here"
}

wow64_start_here() {
    "$ZEPH_ROOT/scripts/wine-prefix.sh"
    wine_restart
    echo "harness: WoW64 prefix $WINEPREFIX on $DISPLAY"
}

stop() {
    [ "$ZEPH_WINE_ARCH" = win32 ] && [ -f "$state/wineserver-win64.pid" ] && wow64 stop
    # Also ends a server some other run left behind for this prefix: the test
    # discovery of a build starts one, on no display at all.
    wine_down
    [ -d "$state" ] || return 0
    depth_stop_xvfb
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    fi
    rm -f "$state/xvfb.pid" "$state/display" "$state/wineserver-$ZEPH_WINE_ARCH.pid"
    [ "${1:-}" = quiet ] || echo "harness: stopped"
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    depth-start) depth_start "${2:?bits per pixel}" ;;
    depth-stop) depth_stop ;;
    wine-restart) wine_restart ;;
    wow64-start) wow64 start ;;
    wow64-stop) wow64 stop ;;
    wow64-start-here) wow64_start_here ;;
    wow64-stop-here) wine_down; rm -f "$state/wineserver-win64.pid" ;;
    *) echo "usage: $0 start|stop|depth-start N|depth-stop|wine-restart|wow64-start|wow64-stop" >&2
       exit 2 ;;
esac
