#!/usr/bin/env bash
# run_fuzzer.sh FUZZER WORKDIR SEEDS SECONDS: runs one libFuzzer target for SECONDS and fails on a
# crash, a leak, an input slower than 5 s or more than 2 GB of memory. Prints the executions done.
set -u
fuzzer=$1 work=$2 seeds=$3 seconds=$4
rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
log="$work/log.txt"
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -detect_leaks=1 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" >"$log" 2>&1
status=$?
runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
echo "$(basename "$fuzzer"): ${runs:-?} executions in ${seconds} s, exit $status"
if [ $status -ne 0 ]; then
    tail -n 60 "$log"
    ls "$work/artifacts"
fi
exit $status
