#!/bin/sh
# Runs the settings fuzzer for a bounded time from the committed seeds, growing a corpus of
# its own in a temporary folder so that the committed one stays as it is.
# Usage: run_fuzz.sh FUZZER SEED_DIR SECONDS ARTIFACT_PREFIX
set -u
if [ $# -ne 4 ]; then
    echo "usage: run_fuzz.sh FUZZER SEED_DIR SECONDS ARTIFACT_PREFIX" >&2
    exit 2
fi
work=$(mktemp -d) || exit 1
"$1" -max_total_time="$3" -rss_limit_mb=2048 -max_len=4096 -artifact_prefix="$4" -print_final_stats=1 "$work" "$2"
rc=$?
rm -rf "$work"
exit $rc
