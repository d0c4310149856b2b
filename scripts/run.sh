#!/bin/bash
# Starts the launcher from the demo disc folder of the build. On a machine with
# a display it runs there until it is closed; without one it runs on a private
# X server for a few seconds, and a screenshot shows what it drew.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$ZEPH_ROOT/scripts/wine-prefix.sh"

if [ "$ZEPH_WINE_ARCH" = win64 ]; then
    disc="$ZEPH_BUILD/x86_64/disc"
    echo "run: this machine cannot execute 32-bit code; running the x86-64 build of the launcher"
else
    disc="$ZEPH_BUILD/i686/disc"
fi
if [ ! -f "$disc/launcher.exe" ]; then
    echo "run: there is no launcher at $disc/launcher.exe; the build made:" >&2
    find "$ZEPH_BUILD" -maxdepth 3 -name '*.exe' -not -path '*/CMakeFiles/*' >&2 || true
    exit 1
fi
cd "$disc"

if [ -n "${DISPLAY:-}" ]; then
    exec "$WINE" launcher.exe
fi

"$ZEPH_ROOT/scripts/harness.sh" start >/dev/null
trap '"$ZEPH_ROOT/scripts/harness.sh" stop >/dev/null' EXIT
export DISPLAY="$(cat "$ZEPH_BUILD/harness/display")"
"$WINE" launcher.exe >/dev/null 2>&1 </dev/null &
for _ in $(seq 100); do
    xdotool search --name '^Zephrane Launcher$' >/dev/null 2>&1 && break
    sleep 0.1
done
if ! xdotool search --name '^Zephrane Launcher$' >/dev/null 2>&1; then
    echo "run: the launcher's window did not appear" >&2
    exit 1
fi
sleep "${ZEPH_RUN_SECONDS:-3}"
shot="$ZEPH_BUILD/screenshot.png"
import -window root "$shot"
echo "run: the launcher ran for ${ZEPH_RUN_SECONDS:-3} s on $DISPLAY; screenshot: $shot"
