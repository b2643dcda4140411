#!/bin/sh
# One brief libFuzzer run. New inputs go to WORK/corpus and a crashing input to
# WORK/crashes; the seed folders are only read. A crash, a sanitizer report, a
# leak or an input that hangs ends the run with a non-zero status.
#   run_fuzzer.sh FUZZER SECONDS WORK MAX_LEN SEED_DIR...
# The fuzzer's progress lines run to thousands and logs get cut in the middle, so
# they go to WORK/fuzz.log; what is printed is the closing statistics, or, on a
# failure, the report itself and the failing input in base64 so it can be replayed
# anywhere with the fuzzer binary.
set -eu
fuzzer=$1 seconds=$2 work=$3 max_len=$4
shift 4
mkdir -p "$work/corpus" "$work/crashes"
rm -f "$work/crashes"/*
. "$(dirname "$0")/sanitizer_env.sh"
status=0
"$fuzzer" "$work/corpus" "$@" -max_total_time="$seconds" -max_len="$max_len" \
  -timeout=30 -rss_limit_mb=2048 -artifact_prefix="$work/crashes/" -print_final_stats=1 \
  >"$work/fuzz.log" 2>&1 || status=$?
if [ "$status" -eq 0 ]; then
  grep -E '^INFO: Seed:|^stat::|^Done ' "$work/fuzz.log" || true
  exit 0
fi
grep -E '^INFO: Seed:' "$work/fuzz.log" || true
grep -v -E '^#[0-9]+[[:space:]]|^[[:space:]]*NEW_FUNC|^"|^###### ' "$work/fuzz.log" | tail -n 60
for input in "$work/crashes"/*; do
  [ -f "$input" ] || continue
  echo "failing input $(basename "$input"), $(wc -c <"$input") bytes, base64:"
  head -c 65536 "$input" | base64
done
exit "$status"
