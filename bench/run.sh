#!/bin/bash
# `make bench`: measures the launcher against its baselines on a private X
# server and prints one table (bench/README.md says how to read it). The raw
# measurements stay in $ZEPH_BUILD/bench-results.
#
#   run.sh          everything
#   run.sh bmpset   only bmpset against ImageMagick, which needs no more than
#                   the native build tree
#   run.sh disc     only the disc image's start-up reads on a model CD drive
set -euo pipefail
source "$(dirname "$0")/../scripts/wine-env.sh"
cd "$ZEPH_ROOT"
mode=${1:-all}

if ! selftest=$(python3 -m unittest bench.test_report 2>&1); then
    echo "$selftest" >&2
    echo "bench: the report's own tests fail" >&2
    exit 1
fi

if [ "$ZEPH_WINE_ARCH" = win64 ]; then cross="$ZEPH_BUILD/x86_64"; else cross="$ZEPH_BUILD/i686"; fi
disc="$cross/disc"
programs="$cross/bench"
results="$ZEPH_BUILD/bench-results"
host="$ZEPH_BUILD/host"
needed=("$host/tools/bmpset" "$host/bench/smoothart" "$host/disc-art/bitmaps/8bg1.bmp" "$host/tools/startorder")
[ "$mode" = bmpset ] || needed+=("$disc/launcher.exe" "$programs/bench_launcher.exe" "$programs/bench_bare.exe"
    "$programs/bench_watch.exe")
for f in "${needed[@]}"; do
    [ -f "$f" ] || { echo "bench: $f is missing; run make build" >&2; exit 1; }
done
rm -rf "$results"
mkdir -p "$results"

machine_line() {
    echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores"
}

# The launcher's start-up reads on a model 24x CD drive (bench/cdread.py):
# the demo image as it was mastered before, its files in name order, and as
# the build masters it, in start-up order. Arithmetic on the images' layout
# alone, so it needs no drive and no Wine.
if [ "$mode" != bmpset ]; then
    echo "bench: the disc image's start-up reads on a model CD drive"
    image="$ZEPH_BUILD/i686/zephrane-demo.iso"
    [ -f "$image" ] || { echo "bench: $image is missing; run make build" >&2; exit 1; }
    xorriso -as mkisofs -quiet -iso-level 1 -V ZEPHRANE_DEMO -J -r -o "$results/name-order.iso" \
        "$ZEPH_BUILD/i686/disc" 2>/dev/null
    python3 "$ZEPH_ROOT/bench/cdread.py" "$host/tools/startorder" name_order "$results/name-order.iso" \
        start_order "$image" >"$results/disc.txt"
    rm -f "$results/name-order.iso"
    if [ "$mode" = disc ]; then
        machine_line >"$results/machine.txt"
        echo
        python3 "$ZEPH_ROOT/bench/report.py" "$results"
        exit 0
    fi
fi

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# bmpset on the demo set, and ImageMagick's own way to one palette for the same
# art: 256 colours chosen over the pixels of all the pictures laid end to end,
# then `convert -remap` with error diffusion. Both before Wine starts, so that
# neither shares the processors with it.
echo "bench: bmpset against convert -remap (about 25 s)"
work="$results/bmpset"
"$host/bench/smoothart" "$host/disc-art/bitmaps" "$work/art"
for _ in 1 2 3 4 5; do
    rm -rf "$work/out"
    t0=$(now_ms)
    "$host/tools/bmpset" "$work/art" "$work/out" >"$work/bmpset.log" ||
        { echo "bench: bmpset failed; see $work/bmpset.log" >&2; exit 1; }
    echo "bmpset_ms $(($(now_ms) - t0))" >>"$results/bmpset.txt"
done
awk '/^mean over/ {print "bmpset_psnr_db", $(NF - 1)}' "$work/bmpset.log" >>"$results/bmpset.txt"
for _ in 1 2 3; do
    t0=$(now_ms)
    convert "$work"/art/*.png -depth 8 "RGB:$work/all.rgb"
    rows=$(($(stat -c %s "$work/all.rgb") / 3000))
    head -c $((rows * 3000)) "$work/all.rgb" >"$work/mosaic.rgb"
    convert -size "1000x$rows" -depth 8 "RGB:$work/mosaic.rgb" +dither -colors 256 -unique-colors \
        "$work/palette.png"
    convert "$work"/art/*.png -dither FloydSteinberg -remap "$work/palette.png" "$work/remapped-%02d.bmp"
    echo "remap_ms $(($(now_ms) - t0))" >>"$results/bmpset.txt"
done
if [ "$mode" = bmpset ]; then
    {
        echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores"
        echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
    } >"$results/machine.txt"
    echo
    python3 "$ZEPH_ROOT/bench/report.py" "$results"
    exit 0
fi

"$ZEPH_ROOT/scripts/harness.sh" start >/dev/null
trap '"$ZEPH_ROOT/scripts/harness.sh" stop >/dev/null' EXIT
export DISPLAY="$(cat "$ZEPH_BUILD/harness/display")"
# The pointer away from every button, so no picture starts highlighted.
xdotool mousemove 0 0

# The server of this prefix, told apart from other prefixes' by its environment.
server=""
for pid in $(pgrep -x 'wineserver64|wineserver' || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
        server=$pid
    fi
done
[ -n "$server" ] || { echo "bench: no wineserver for $WINEPREFIX" >&2; exit 1; }

# Processor time of every thread of a process, in nanoseconds: the scheduler's
# own account, far finer than the clock ticks of /proc/PID/stat.
ticks() { cat "/proc/$1"/task/*/schedstat 2>/dev/null | awk '{ns += $1} END {printf "%.0f\n", ns}'; }
windows_named() { xdotool search --name "^$1\$" 2>/dev/null | wc -l; }
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }

# Starts a program from the disc folder and sets started_pid once its window
# is on the screen. Wine's loader becomes the program: the id is the program's.
start_shown() { # title, program, args...
    local title=$1
    shift
    for _ in $(seq 200); do [ "$(windows_named "$title")" = 0 ] && break; sleep 0.05; done
    (cd "$disc" && exec "$WINE" "$@" >/dev/null 2>&1 </dev/null) &
    started_pid=$!
    for _ in $(seq 300); do [ "$(windows_named "$title")" != 0 ] && break; sleep 0.05; done
}

stop_program() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# Ten seconds of a settled program's processor time and the server's; its peak
# working set at the end.
measure_idle() { # label, title, program, args...
    local label=$1 title=$2 a w t0 b x t1
    shift 2
    start_shown "$title" "$@"
    # Past the start, and past Wine's desktop process starting beside it.
    sleep 3
    a=$(ticks "$started_pid"); w=$(ticks "$server"); t0=$(date +%s.%N)
    sleep 10
    b=$(ticks "$started_pid"); x=$(ticks "$server"); t1=$(date +%s.%N)
    {
        echo "${label}_proc_ticks $((b - a))"
        echo "${label}_server_ticks $((x - w))"
        echo "${label}_seconds $(echo "$t1 - $t0" | bc)"
        echo "${label}_vmhwm_kb $(awk '/^VmHWM/ {print $2}' "/proc/$started_pid/status")"
    } >>"$results/idle.txt"
    stop_program "$started_pid"
}

{
    echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores"
    echo "wine: $("$WINE" --version) in a $ZEPH_WINE_ARCH prefix, programs built for $(basename "$cross")"
    echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$results/machine.txt"
echo "cpu_time_per_s 1000000000" >"$results/idle.txt"
echo "image_bytes $(cat "$disc"/bitmaps/*.bmp | wc -c)" >>"$results/idle.txt"
echo "image_count $(ls "$disc"/bitmaps/*.bmp | wc -l)" >>"$results/idle.txt"
echo "bare_image_bytes $(wc -c <"$disc/bitmaps/8bg1.bmp")" >>"$results/idle.txt"

echo "bench: idle processor time and memory (about 1 minute)"
sleep 2
w=$(ticks "$server"); t0=$(date +%s.%N)
sleep 5
echo "quiet_server_ticks $(($(ticks "$server") - w))" >>"$results/idle.txt"
echo "quiet_seconds $(echo "$(date +%s.%N) - $t0" | bc)" >>"$results/idle.txt"
measure_idle launcher "Zephrane Launcher" launcher.exe
measure_idle bare "Bench Bare Window" "$programs/bench_bare.exe"
measure_idle floor "Bench Bare Window" "$programs/bench_bare.exe" flames
measure_idle spin "Zephrane Launcher" "$programs/bench_launcher.exe" spin
measure_idle launcher "Zephrane Launcher" launcher.exe
measure_idle launcher "Zephrane Launcher" launcher.exe

echo "bench: flame rhythm (about 12 s)"
(cd "$disc" && "$WINE" "$programs/bench_launcher.exe" flames 150 >"$results/flames.txt" 2>/dev/null </dev/null)

# How often the idle loop wakes: on the disc, and on a copy of its pictures
# without the flames, where only input should wake it.
echo "bench: wakes while idle (about 25 s)"
(cd "$disc" && "$WINE" "$programs/bench_launcher.exe" wakes 10 2>/dev/null </dev/null | sed 's/^/flames_/') \
    >"$results/wakes.txt"
mkdir "$results/no-flame"
cp -r "$disc/bitmaps" "$results/no-flame/"
rm "$results/no-flame/bitmaps"/fire*.bmp
(cd "$results/no-flame" && "$WINE" "$programs/bench_launcher.exe" wakes 10 2>/dev/null </dev/null |
    sed 's/^/none_/') >>"$results/wakes.txt"
rm -rf "$results/no-flame"

echo "bench: painting"
(cd "$disc" && "$WINE" "$programs/bench_launcher.exe" paint 200 >"$results/paint.txt" 2>/dev/null </dev/null)

echo "bench: start-up (about 25 s)"
(cd "$disc" && "$WINE" "$programs/bench_watch.exe" 8 "Zephrane Launcher" launcher.exe \
    "Bench Bare Window" "$(windows_path "$programs/bench_bare.exe")" \
    >"$results/startup.txt" 2>"$results/startup.err" </dev/null) ||
    echo "bench: start-up timing failed: $(cat "$results/startup.err")" >&2
grep -m1 display_bits "$results/startup.txt" | tr -d '\r' | sed 's/display_bits \(.*\)/display: Xvfb, \1 bits per pixel/' >>"$results/machine.txt" || true

echo "bench: where start-up time goes"
(cd "$disc" && "$WINE" "$programs/bench_launcher.exe" start 10 >"$results/start.txt" 2>/dev/null </dev/null)

if command -v valgrind >/dev/null; then
    counter="$ZEPH_BUILD/host/bench/portable_count"
    count() { # name, rounds, args...
        local name=$1 rounds=$2
        shift 2
        valgrind --tool=callgrind --toggle-collect='CountOne*' \
            --callgrind-out-file="$results/callgrind.$name.out" "$counter" "$@" >/dev/null 2>&1 || return 0
        awk -v n="$name" -v r="$rounds" '/^summary:/ {print n, $2 / r}' "$results/callgrind.$name.out"
    }
    {
        count hit_test_ir 1000 hit 1000
        count dib_check_ir 1000 dib 1000 "$disc/bitmaps/8bdldx7u.bmp"
    } >"$results/callgrind.txt"
fi

echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$results/machine.txt"
echo
python3 "$ZEPH_ROOT/bench/report.py" "$results"
