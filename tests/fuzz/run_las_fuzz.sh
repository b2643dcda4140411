#!/bin/sh
# Runs the LAS/LAZ reader fuzzer alone in the sanitizer tree, seeded from the LAS/LAZ
# samples (read in place; new inputs stay in the build tree).
#   tests/fuzz/run_las_fuzz.sh [SECONDS, default 60]
KL_FUZZ_SECONDS=${1:-60} exec "$(dirname "$0")/run_sanitized.sh" -R '^las_reader_fuzzer$'
