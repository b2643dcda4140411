#!/bin/sh
# Side-by-side LAZ speed: our decoder (1 and 2 threads) against laz-perf (WASM in Node) on
# the same >= 2 M point files, plus our encoder. Ours and laz-perf run alternately, round
# by round, so that a shared machine's changing speed affects both alike; figures are
# medians over the rounds.
# usage: bench/las/run_las_bench.sh BUILD_DIR [POINTS] [ROUNDS]
set -eu
build=${1:?build dir}
points=${2:-2200000}
rounds=${3:-5}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
samples=${KL_SAMPLES_DIR:-$root/../shared/samples}/las
bench="$build/bench/las/kl_las_bench"
data="$build/bench-data"
mkdir -p "$data"
[ -f "$data/point10.laz" ] || "$bench" make "$samples/pdal__laz_autzen_trim.laz" "$data/point10.laz" "$points"
[ -f "$data/point14.laz" ] || "$bench" make "$samples/laspy__append-bug.laz" "$data/point14.laz" "$points"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)  rounds: $rounds"
for kind in point10 point14; do
  f="$data/$kind.laz"
  ours="" lp=""
  i=0
  while [ "$i" -lt "$rounds" ]; do
    ours="$ours$("$bench" decode "$f" 1 1),"
    lp="$lp$(NODE_PATH="$root/node_modules" node "$root/tests/las/lazperf_decode.js" "$f"),"
    i=$((i + 1))
  done
  threads=$("$bench" decode "$f" 2 "$rounds")
  enc=$("$bench" encode "$f" 2)
  OURS="[${ours%,}]" LP="[${lp%,}]" THREADS="$threads" ENC="$enc" KIND="$kind" node -e '
    const ours = JSON.parse(process.env.OURS), lp = JSON.parse(process.env.LP);
    const threads = JSON.parse(process.env.THREADS), enc = JSON.parse(process.env.ENC);
    const median = (v) => { const s = [...v].sort((a, b) => a - b), n = s.length;
      return n % 2 ? s[(n - 1) / 2] : (s[n / 2 - 1] + s[n / 2]) / 2; };
    const wall = ours.map((o, i) => o.pointsPerSecond / (lp[i].count / lp[i].seconds));
    const cpu = ours.map((o, i) => o.pointsPerCpuSecond / (lp[i].count / lp[i].cpuSeconds));
    const f = (v) => Math.round(v).toString().padStart(10);
    console.log(`${process.env.KIND}: ${ours[0].points} points`);
    console.log(`  decode ours 1 thread   ${f(median(ours.map((o) => o.pointsPerSecond)))} pts/s wall  ${f(median(ours.map((o) => o.pointsPerCpuSecond)))} pts/cpu-s`);
    console.log(`  decode laz-perf        ${f(median(lp.map((l) => l.count / l.seconds)))} pts/s wall  ${f(median(lp.map((l) => l.count / l.cpuSeconds)))} pts/cpu-s`);
    console.log(`  decode ours 2 threads  ${f(threads.threadsPointsPerSecond)} pts/s wall`);
    console.log(`  encode ours            ${f(enc.pointsPerSecond)} pts/s wall`);
    console.log(`  ratio ours/laz-perf (1 thread, median of pairs): wall ${median(wall).toFixed(2)}x  cpu ${median(cpu).toFixed(2)}x`);
    console.log(`  ratio 2 threads/1 thread (median of pairs): ${threads.threadsRatio.toFixed(2)}x`);
  '
done
