#!/bin/sh
# Side-by-side LAZ speed: our decoder (1 and 2 threads) against laz-perf (WASM in Node) on
# the same >= 2 M point files, plus our encoder. Prints the figures and their ratios.
# usage: bench/las/run_las_bench.sh BUILD_DIR [POINTS]
set -eu
build=${1:?build dir}
points=${2:-2200000}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
samples=${KL_SAMPLES_DIR:-$root/../shared/samples}/las
bench="$build/bench/las/kl_las_bench"
data="$build/bench-data"
mkdir -p "$data"
[ -f "$data/point10.laz" ] || "$bench" make "$samples/pdal__laz_autzen_trim.laz" "$data/point10.laz" "$points"
[ -f "$data/point14.laz" ] || "$bench" make "$samples/laspy__append-bug.laz" "$data/point14.laz" "$points"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)"
for kind in point10 point14; do
  f="$data/$kind.laz"
  one=$("$bench" decode "$f" 1 3)
  two=$("$bench" decode "$f" 2 3)
  enc=$("$bench" encode "$f" 2)
  lp=$(NODE_PATH="$root/node_modules" node "$root/tests/las/lazperf_decode.js" "$f")
  ONE="$one" TWO="$two" ENC="$enc" LP="$lp" KIND="$kind" node -e '
    const one = JSON.parse(process.env.ONE), two = JSON.parse(process.env.TWO);
    const enc = JSON.parse(process.env.ENC), lp = JSON.parse(process.env.LP);
    const lpWall = lp.count / lp.seconds, lpCpu = lp.count / lp.cpuSeconds;
    const f = (v) => Math.round(v).toString().padStart(10);
    console.log(`${process.env.KIND}: ${one.points} points`);
    console.log(`  decode ours 1 thread   ${f(one.pointsPerSecond)} pts/s wall  ${f(one.pointsPerCpuSecond)} pts/cpu-s`);
    console.log(`  decode ours 2 threads  ${f(two.pointsPerSecond)} pts/s wall`);
    console.log(`  decode laz-perf        ${f(lpWall)} pts/s wall  ${f(lpCpu)} pts/cpu-s`);
    console.log(`  encode ours            ${f(enc.pointsPerSecond)} pts/s wall`);
    console.log(`  ratio ours/laz-perf (1 thread): wall ${(one.pointsPerSecond / lpWall).toFixed(2)}x  cpu ${(one.pointsPerCpuSecond / lpCpu).toFixed(2)}x`);
    console.log(`  ratio 2 threads/1 thread: ${(two.pointsPerSecond / one.pointsPerSecond).toFixed(2)}x`);
  '
done
