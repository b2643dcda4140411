// Decodes a LAZ file with the laz-perf WASM build and writes its raw point records,
// in the file's own record layout, to OUT (test-only reference for the layered codec).
// usage: node layered_oracle_dump.js IN.laz OUT.raw
'use strict';
const fs = require('fs');
const { createLazPerf } = require('laz-perf/lib/node/index.js');

async function main() {
  const [input, output] = process.argv.slice(2);
  if (!input || !output) {
    console.error('usage: layered_oracle_dump.js IN.laz OUT.raw');
    process.exit(2);
  }
  const bytes = fs.readFileSync(input);
  const lp = await createLazPerf();
  const filePtr = lp._malloc(bytes.length);
  lp.HEAPU8.set(bytes, filePtr);
  const laz = new lp.LASZip();
  laz.open(filePtr, bytes.length);
  const count = laz.getCount();
  const length = laz.getPointLength();
  const pointPtr = lp._malloc(length);
  const out = Buffer.alloc(count * length);
  for (let i = 0; i < count; i++) {
    laz.getPoint(pointPtr);
    out.set(lp.HEAPU8.subarray(pointPtr, pointPtr + length), i * length);
  }
  fs.writeFileSync(output, out);
  console.log(JSON.stringify({ count, length, format: laz.getPointFormat() }));
  laz.delete();
  lp._free(pointPtr);
  lp._free(filePtr);
}

main().catch((e) => {
  console.error(String(e && e.message ? e.message : e));
  process.exit(1);
});
