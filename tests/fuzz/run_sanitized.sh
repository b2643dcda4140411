#!/bin/sh
# The sanitizer stage: one clang tree with AddressSanitizer, UndefinedBehaviorSanitizer
# and libFuzzer builds only the binaries behind the selected ctest entries (by default
# every entry labelled "sanitize": the tests of the parsers and codecs that take
# untrusted input, and brief fuzz runs) and runs them. Any report fails the run.
#   tests/fuzz/run_sanitized.sh [ctest selection, default: -L sanitize]
# KL_SANITIZE_BUILD_DIR picks the tree, KL_FUZZ_SECONDS the time per fuzzer.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${KL_SANITIZE_BUILD_DIR:-$root/build-sanitize}
[ $# -gt 0 ] || set -- -L sanitize

# Line tables are all a sanitizer report needs to name file and line; full
# debug information costs this tree about a tenth more compile time and
# heavier links.
debug_flags="-O2 -gline-tables-only -DNDEBUG"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$debug_flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$debug_flags" \
  -DKL_SANITIZE=ON -DKL_FUZZ=ON -DKL_BENCH=OFF -DKL_FUZZ_SECONDS="${KL_FUZZ_SECONDS:-15}" \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cd "$build"
# Every selected entry is named after the binary it runs.
targets=$(ctest -N "$@" 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p')
[ -n "$targets" ] || { echo "run_sanitized.sh: no ctest entry matches: $*" >&2; exit 1; }
# shellcheck disable=SC2086
cmake --build . -j "$(nproc)" --target $targets

. "$root/tests/fuzz/sanitizer_env.sh"
LC_ALL=pl_PL.UTF-8 exec ctest -j "$(nproc)" --output-on-failure "$@"
