#!/bin/sh
# Builds the geodata fuzz targets with clang in their own build folder and runs
# each for a short time, seeded with the real GML samples.
#   tests/fuzz/run_geodata_fuzz.sh [seconds per target, default 20]
set -eu
seconds="${1:-20}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KL_FUZZ_BUILD_DIR:-$root/build-fuzz-geodata}"
samples="${KL_SAMPLES_DIR:-$root/../shared/samples}"

cmake -S "$root" -B "$build" -G Ninja -DKL_FUZZ=ON -DKL_BENCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target kl_fuzz_geodata_gml kl_fuzz_geodata_srs_name -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/gml" "$work/srs"
find "$samples/gml" -type f \( -name '*.xml' -o -name '*.gml' \) -exec cp {} "$work/gml/" \;
grep -ho 'srsName="[^"]*"' "$samples"/gml/*.xml "$samples"/gml/*.gml 2>/dev/null |
  sort -u | awk '{ f = sprintf("%s/srs/seed%03d", dir, NR); sub(/^srsName="/, ""); sub(/"$/, ""); printf "%s", $0 > f }' dir="$work"

status=0
"$build/geodata/fuzz/kl_fuzz_geodata_gml" -max_total_time="$seconds" -max_len=65536 \
  -rss_limit_mb=2048 "$work/gml" || status=1
"$build/geodata/fuzz/kl_fuzz_geodata_srs_name" -max_total_time="$seconds" -max_len=256 \
  "$work/srs" || status=1
exit $status
