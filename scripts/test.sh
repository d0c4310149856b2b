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
exec ctest --output-on-failure --timeout 600 -j2 "$@"
