#!/bin/bash
# Creates the project's Wine prefix once. A stamp file marks a finished prefix,
# so a prefix left half-made by an interrupted run is made again.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
stamp="$WINEPREFIX/.zephrane-ready"
[ -f "$stamp" ] && exit 0

# A server still running for a half-made prefix would serve the new one.
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
echo "wine-prefix: creating $WINEPREFIX"
# Wine's services keep the output of whoever started them; detach them here so
# no caller waits on a pipe that never closes. What Wine says goes to a file,
# shown when a step fails.
log="$(dirname "$WINEPREFIX")/wine-prefix.log"
failed() { echo "wine-prefix: $1 failed; Wine said (in $log):" >&2; tail -n 20 "$log" >&2; exit 1; }
# The server, in the prefix's folder, is up when this returns: a server that
# wineboot started on its own could meet this one half-way.
wineserver -p >"$log" 2>&1 </dev/null || failed "wineserver -p"
"$WINE" wineboot --init >>"$log" 2>&1 </dev/null || failed "wineboot --init"
# A crashing program must end, not wait on the debugger's dialog.
"$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1 \
    </dev/null || failed "turning off the debugger's dialog"
wineserver -k || true
touch "$stamp"
