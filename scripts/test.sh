#!/bin/bash
# Runs every tier through one CTest run: host, win32 (under Wine), e2e and
# fuzz. The Wine tiers share one X server and one wineserver, which CTest
# itself starts and stops as a fixture.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$ZEPH_ROOT/scripts/wine-prefix.sh"
if [ "$ZEPH_WINE_ARCH" = win64 ]; then
    echo "test: this machine cannot execute 32-bit code; the Wine tiers run the x86-64 build of the same sources"
fi
cd "$ZEPH_BUILD/host"
report="$ZEPH_BUILD/test-report.xml"
rm -f "$report"
status=0
ctest --output-on-failure --timeout 600 -j2 --output-junit "$report" "$@" || status=$?
# What the run tested, said after CTest's summary so that no green run hides it.
if [ -f "$report" ]; then
    python3 "$ZEPH_ROOT/scripts/configurations.py" "$report" "$ZEPH_WINE_ARCH" "$ZEPH_RUNS_I686"
fi
exit $status
