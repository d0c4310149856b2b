#!/bin/bash
# Runs one fuzz target as a test: first every kept regression input, which
# must all pass, then a bounded run from a fresh copy of the committed corpus,
# so that the run's new inputs stay in the build tree. Any crash, leak,
# sanitizer report or broken invariant fails the test; its input is left in
# the work directory's artifacts folder.
#
# usage: run-fuzzer.sh fuzzer corpus-dir regressions-dir work-dir seconds [libFuzzer options...]
set -euo pipefail
fuzzer=$1 corpus=$2 regressions=$3 work=$4 seconds=$5
shift 5

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp -R "$corpus/." "$work/corpus/"

mapfile -t kept < <(find "$regressions" -type f ! -name '.*' 2>/dev/null | sort)
if [ "${#kept[@]}" -gt 0 ]; then
    echo "replaying ${#kept[@]} regression inputs"
    "$fuzzer" -artifact_prefix="$work/artifacts/" "$@" "${kept[@]}"
fi

"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$@" "$work/corpus"
