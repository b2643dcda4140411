#!/bin/sh
# One brief libFuzzer run. New inputs go to WORK/corpus and a crashing input to
# WORK/crashes; the seed folders are only read. A crash, a sanitizer report, a
# leak or an input that hangs ends the run with a non-zero status.
#   run_fuzzer.sh FUZZER SECONDS WORK MAX_LEN SEED_DIR...
set -eu
fuzzer=$1 seconds=$2 work=$3 max_len=$4
shift 4
mkdir -p "$work/corpus" "$work/crashes"
. "$(dirname "$0")/sanitizer_env.sh"
exec "$fuzzer" "$work/corpus" "$@" -max_total_time="$seconds" -max_len="$max_len" \
  -timeout=30 -rss_limit_mb=2048 -artifact_prefix="$work/crashes/" -print_final_stats=1
