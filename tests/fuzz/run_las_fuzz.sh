#!/bin/sh
# Builds the LAS/LAZ reader fuzzer with clang in its own build folder and runs it briefly,
# seeded from the LAS/LAZ samples (read-only; new inputs go to the build folder).
# usage: tests/fuzz/run_las_fuzz.sh [SECONDS]
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${KL_FUZZ_BUILD_DIR:-$root/build-fuzz-las}
samples=${KL_SAMPLES_DIR:-$root/../shared/samples}/las
cmake -S "$root" -B "$build" -G Ninja -DKL_FUZZ=ON -DKL_BENCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target las_reader_fuzzer -j2
corpus="$build/las_fuzz_corpus"
mkdir -p "$corpus"
"$build/tests/las/las_reader_fuzzer" "$corpus" "$samples" "$samples/negative" \
  -max_total_time="$seconds" -max_len=262144 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
