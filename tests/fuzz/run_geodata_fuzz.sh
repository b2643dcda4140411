#!/bin/sh
# Runs the GML parser and srsName fuzzers alone in the sanitizer tree, seeded from
# the GML samples (read in place; new inputs stay in the build tree).
#   tests/fuzz/run_geodata_fuzz.sh [SECONDS per fuzzer, default 20]
KL_FUZZ_SECONDS=${1:-20} exec "$(dirname "$0")/run_sanitized.sh" -R '^kl_fuzz_geodata_'
