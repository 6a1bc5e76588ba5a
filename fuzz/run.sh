#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds, starting from the committed corpus;
# new inputs go to the build folder, so the committed corpus changes only by hand.
# Usage: fuzz/run.sh BUILD_FOLDER SECONDS
set -euo pipefail
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
for target in junk_rules mount_table percent_text; do
    found="$build/corpus/$target"
    mkdir -p "$found" "$build/artifacts"
    log="$build/$target.log"
    if ! "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$found" "$here/corpus/$target" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz target $target failed; the input is in $build/artifacts/" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: $runs executions in $seconds s"
done
