// Independent decode of a LAZ file with laz-perf (WASM), for byte-for-byte comparison.
// usage: node lazperf_decode.js IN.laz [OUT.raw]
// Prints one JSON line: {"count","format","length","seconds","cpuSeconds"}; OUT gets the raw records.
'use strict';
const fs = require('fs');
const path = require('path');

// NODE_PATH names the project's node_modules, as the tests and the bench set it.
function lazPerfModule() {
  const base = path.join(process.env.NODE_PATH.split(path.delimiter)[0], 'laz-perf');
  return require(path.join(base, 'lib', 'node', 'index.js')).createLazPerf();
}

async function main() {
  const args = process.argv.slice(2);
  const input = fs.readFileSync(args[0]);
  const lp = await lazPerfModule();
  const filePtr = lp._malloc(input.length);
  lp.HEAPU8.set(input, filePtr);
  const laz = new lp.LASZip();
  laz.open(filePtr, input.length);
  const count = laz.getCount();
  const length = laz.getPointLength();
  const format = laz.getPointFormat();
  const pointPtr = lp._malloc(length);
  // Test files are small enough to hold whole; the bench asks for no records.
  const records = args[1] ? Buffer.alloc(count * length) : null;
  const start = process.hrtime.bigint();
  const cpuStart = process.cpuUsage();
  for (let i = 0; i < count; i++) {
    laz.getPoint(pointPtr);
    if (records !== null) records.set(lp.HEAPU8.subarray(pointPtr, pointPtr + length), i * length);
  }
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  const cpu = process.cpuUsage(cpuStart);
  const cpuSeconds = (cpu.user + cpu.system) / 1e6;
  if (records !== null) fs.writeFileSync(args[1], records);
  laz.delete();
  lp._free(pointPtr);
  lp._free(filePtr);
  console.log(JSON.stringify({ count, format, length, seconds, cpuSeconds }));
}

main().catch((e) => {
  console.error(String(e && e.message ? e.message : e));
  process.exit(1);
});
