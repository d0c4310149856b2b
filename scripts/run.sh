#!/bin/bash
# Starts the launcher from a disc folder: the demo disc of the build, or the
# folder given. On a machine with a display it runs there until it is closed;
# without one it runs on a private X server for a few seconds, and a
# screenshot shows what it drew.
#
#   run.sh [DISC]
#
# ZEPH_RUN_INSTALLED=1 first writes the two registry values that the
# launcher's game's setup would write, so that PLAY and UNINSTALL show; the
# values it added are taken away again however it ends: the launcher closed,
# a write that failed, an interrupt (INT), a TERM, which end the launcher.
set -euo pipefail
source "$(dirname "$0")/author.sh"
"$ZEPH_ROOT/scripts/wine-prefix.sh"

# Trapped, an INT or a TERM waits for a write under way to end; then the
# launcher is ended and the EXIT trap runs.
launcher=
stop() {
    [ -z "$launcher" ] || kill "$launcher" 2>/dev/null || true
    exit "$1"
}
trap 'stop 130' INT
trap 'stop 143' TERM

if [ -n "${1:-}" ]; then
    disc=$(from_caller "$1")
elif [ "$ZEPH_WINE_ARCH" = win64 ]; then
    disc="$ZEPH_BUILD/x86_64/disc"
    echo "run: this machine cannot execute 32-bit code; running the x86-64 build of the launcher"
else
    disc="$ZEPH_BUILD/i686/disc"
fi
if [ ! -f "$disc/launcher.exe" ]; then
    echo "run: there is no launcher at $disc/launcher.exe" >&2
    [ -n "${1:-}" ] && exit 1
    echo "run: the build made:" >&2
    find "$ZEPH_BUILD" -maxdepth 3 -name '*.exe' -not -path '*/CMakeFiles/*' >&2 || true
    exit 1
fi
# The machine (the PE header's) the program is built for.
machine=$(od -An -tx2 -j "$(( $(od -An -tu4 -j 60 -N4 "$disc/launcher.exe") + 4 ))" -N2 \
          "$disc/launcher.exe" | tr -d ' ')
reg=reg
if [ "$machine" = 014c ] && [ "$ZEPH_WINE_ARCH" = win64 ]; then
    if [ "$ZEPH_RUNS_I686" != 1 ]; then
        echo "run: $disc/launcher.exe is a 32-bit program, which this machine cannot execute;" \
             "make disc ... ARCH=x86_64 makes a folder that it can run" >&2
        exit 1
    fi
    # A 32-bit program on 64-bit Windows reads the 32-bit view of the registry.
    reg='C:\windows\syswow64\reg.exe'
fi
cd "$disc"

if [ "${ZEPH_RUN_INSTALLED:-}" = 1 ]; then
    # The launcher's own keys, as it carries them: whatever identity built it.
    keys=$(grep -aoE 'SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\(App Paths|Uninstall)\\[ -~]+' \
           launcher.exe | sort -u)
    app_paths=$(grep -F 'App Paths' <<<"$keys" || true)
    uninstall=$(grep -F '\Uninstall\' <<<"$keys" || true)
    if [ "$(wc -l <<<"$app_paths")" != 1 ] || [ "$(wc -l <<<"$uninstall")" != 1 ] ||
        [ -z "$app_paths" ] || [ -z "$uninstall" ]; then
        echo "run: cannot tell which registry keys $disc/launcher.exe reads" >&2
        exit 1
    fi
    game=${app_paths##*\\}
    # PLAY starts the game from the folder of the disc that holds it, if one
    # does; UNINSTALL shows a note rather than running an uninstaller that
    # would take files off the disc folder.
    found=$(find . -iname "$game" -type f -printf '%h\n' | sort | sed -n 1p)
    folder="Z:$(cd "${found:-.}" && pwd -P | tr / '\\')"
    note="$ZEPH_BUILD/uninstall-note.txt"
    printf 'make run INSTALLED=1 stands in for your uninstaller here.\r\nOn a real machine UNINSTALL runs the command your setup writes as\r\nUninstallString under HKLM\\%s.\r\n' \
        "$uninstall" >"$note"
    # Each value is listed before it is written, and the list is undone on
    # every way out: the launcher's end, a failed write, Ctrl-C.
    added=()
    forget() {
        local entry
        # A second interrupt does not cut the clean-up short.
        trap '' INT TERM
        for entry in "${added[@]}"; do
            IFS='|' read -r -a what <<<"$entry"
            "$WINE" "$reg" delete "${what[@]}" /f >/dev/null 2>&1 </dev/null || true
        done
    }
    trap forget EXIT
    for pair in "$app_paths|Path|$folder" "$uninstall|UninstallString|notepad.exe \"Z:$(tr / '\\' <<<"$note")\""; do
        IFS='|' read -r key value data <<<"$pair"
        if "$WINE" "$reg" query "HKLM\\$key" /v "$value" >/dev/null 2>&1 </dev/null; then
            continue
        elif "$WINE" "$reg" query "HKLM\\$key" >/dev/null 2>&1 </dev/null; then
            added+=("HKLM\\$key|/v|$value")
        else
            added+=("HKLM\\$key")
        fi
        "$WINE" "$reg" add "HKLM\\$key" /v "$value" /t REG_SZ /d "$data" /f >/dev/null 2>&1 </dev/null
    done
    echo "run: as installed: $game in $folder"
fi

if [ -n "${DISPLAY:-}" ]; then
    # Waited for in the background, so that INT and TERM are heard at once.
    "$WINE" launcher.exe &
    launcher=$!
    wait "$launcher"
    exit 0
fi

"$ZEPH_ROOT/scripts/harness.sh" start >/dev/null
trap '[ "$(type -t forget)" != function ] || forget; "$ZEPH_ROOT/scripts/harness.sh" stop >/dev/null' EXIT
export DISPLAY="$(cat "$ZEPH_HARNESS/display")"
"$WINE" launcher.exe >/dev/null 2>&1 </dev/null &
launcher=$!
for _ in $(seq 100); do
    xdotool search --onlyvisible --pid "$launcher" >/dev/null 2>&1 && break
    sleep 0.1
done
if ! xdotool search --onlyvisible --pid "$launcher" >/dev/null 2>&1; then
    echo "run: the launcher's window did not appear" >&2
    exit 1
fi
sleep "${ZEPH_RUN_SECONDS:-3}"
shot="$ZEPH_BUILD/screenshot.png"
import -window root "$shot"
echo "run: the launcher ran for ${ZEPH_RUN_SECONDS:-3} s on $DISPLAY; screenshot: $shot"
