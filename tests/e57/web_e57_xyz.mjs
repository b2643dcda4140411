// Independent E57 reader (web-e57, WASM) used as a test oracle: prints the
// points of an E57 file as "x y z [r g b]" lines on stdout.
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = process.env.KL_SOURCE_DIR || join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const pkg = join(root, 'node_modules', 'web-e57');
const bindings = await import(join(pkg, 'e57_bg.js'));
const { instance } = await WebAssembly.instantiate(readFileSync(join(pkg, 'e57_bg.wasm')), { './e57_bg.js': bindings });
bindings.__wbg_set_wasm(instance.exports);

const file = process.argv[2];
try {
  const text = bindings.convertE57(new Uint8Array(readFileSync(file)), 'XYZ');
  process.stdout.write(typeof text === 'string' ? text : new TextDecoder().decode(text));
} catch (e) {
  process.stderr.write(`web-e57 failed: ${e}\n`);
  process.exit(2);
}
