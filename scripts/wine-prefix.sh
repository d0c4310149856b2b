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
mkdir -p "$(dirname "$WINEPREFIX")"
echo "wine-prefix: creating $WINEPREFIX"
# Wine's services keep the output of whoever started them; detach them here so
# no caller waits on a pipe that never closes.
wineserver -p >/dev/null 2>&1 </dev/null &
"$WINE" wineboot --init >/dev/null 2>&1 </dev/null
# A crashing program must end, not wait on the debugger's dialog.
"$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
wineserver -k || true
touch "$stamp"
