// Ear clipping against the npm earcut package on the same polygons, in one
// run: rounds alternate between the two and the ratio is the median of the
// paired rounds (the machine is shared, its speed changes by the minute).
// Then the placement of 10 000 LOD2 buildings into workbench bodies.
//   node bench/placement/run_bodies_bench.mjs [build folder]
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import earcut from 'earcut';

const build = path.resolve(process.argv[2] || 'build');
const tool = path.join(build, 'bench/placement/kl_bench_bodies');
const rounds = 15;

function star(points, inner, wobble) {
  const ring = [];
  for (let i = 0; i < 2 * points; i++) {
    const a = (Math.PI * i) / points, r = (i % 2 ? inner : 10) * (1 + wobble * Math.sin(7 * i));
    ring.push(r * Math.cos(a), r * Math.sin(a));
  }
  return ring;
}
const box = (x, y, w, h, cw) => (cw ? [x, y, x, y + h, x + w, y + h, x + w, y] : [x, y, x + w, y, x + w, y + h, x, y + h]);
function comb(teeth) {
  const r = [0, 0, 2 * teeth, 0];
  for (let i = teeth - 1; i >= 0; i--) r.push(2 * i + 2, 5, 2 * i + 1, 5, 2 * i + 1, 1, 2 * i + 0.5, 1);
  r.splice(-2, 2, 0, 5);
  return r;
}
// Faces as a county LOD2 set has them, seen along their normals: wall
// rectangles, roof slopes, dented ground outlines, L-shapes, combs, courtyards.
function lod2Like(count) {
  const out = [];
  for (let i = 0; i < count; i++) {
    const k = i % 10, s = 1 + (i % 7) * 0.3;
    if (k < 5) out.push([box(0, 0, 6 * s, 3)]);
    else if (k < 7) out.push([[0, 0, 8 * s, 0, 8 * s, 3, 4 * s, 5, 0, 3]]);
    else if (k === 7) out.push([star(7, 8.5, 0.1)]);
    else if (k === 8) out.push([i % 20 === 8 ? comb(10) : [0, 0, 12, 0, 12, 4, 4, 4, 4, 10, 0, 10]]);
    else out.push([box(0, 0, 30, 20), box(10, 5, 10, 10, true)]);
  }
  return out;
}

function median(values) {
  const v = [...values].sort((a, b) => a - b);
  return v[Math.floor(v.length / 2)];
}

function earcutRound(polygons) {
  const t0 = process.hrtime.bigint();
  let triangles = 0;
  for (const rings of polygons) {
    const flat = rings.flat(), holes = [];
    let at = 0;
    for (const r of rings.slice(0, -1)) { at += r.length / 2; holes.push(at); }
    triangles += earcut(flat, holes.length ? holes : undefined).length / 3;
  }
  return [Number(process.hrtime.bigint() - t0) / 1e6, triangles];
}

async function compare(name, polygons, repeat, work) {
  const file = path.join(work, name.replace(/\W+/g, '_') + '.json');
  const many = Array.from({ length: repeat }, () => polygons).flat();
  writeFileSync(file, JSON.stringify(many));
  const child = spawn(tool, ['clip', file], { stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
  const ours = async () => { child.stdin.write('go\n'); const { value } = await lines.next(); return value.split(' ').map(Number); };
  await ours(); earcutRound(many);  // warm-up of both
  const ratios = [], oursMs = [], earcutMs = [];
  let oursTriangles = 0, earcutTriangles = 0;
  for (let r = 0; r < rounds; r++) {
    const [a, ta] = await ours();
    const [b, tb] = earcutRound(many);
    oursMs.push(a); earcutMs.push(b); ratios.push(b / a);
    oursTriangles = ta; earcutTriangles = tb;
  }
  child.stdin.end();
  console.log(`${name}: ours ${median(oursMs).toFixed(2)} ms, earcut ${median(earcutMs).toFixed(2)} ms per round ` +
    `(${repeat} x ${polygons.length} polygons; triangles ${oursTriangles} / ${earcutTriangles}); ` +
    `earcut time / ours, median of ${rounds} paired rounds: ${median(ratios).toFixed(2)}`);
}

const work = mkdtempSync(path.join(tmpdir(), 'kl-bodies-'));
try {
  await compare('1000-vertex face', [[star(500, 6, 0.05)]], 10, work);
  await compare('LOD2-like set of 20 000 faces', lod2Like(20000), 1, work);
  console.log(execFileSync(tool, ['build', '10000']).toString().trim());
} finally {
  rmSync(work, { recursive: true, force: true });
}
