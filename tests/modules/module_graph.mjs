// Fails when a source file includes a header of a module it may not depend
// on, or when the allowed edges form a cycle. The table of modules and edges
// is cmake/modules.json, which also gives every module its include path in
// the build; this check adds the headers no source of the module compiles.
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';

const root = process.env.KL_SOURCE_DIR ?? process.cwd();
// name: [path prefixes (longest match wins), modules it may include]
const MODULES = Object.fromEntries(
  Object.entries(JSON.parse(readFileSync(`${root}/cmake/modules.json`, 'utf8')).modules)
    .map(([name, { paths, uses }]) => [name, [paths, uses]]));

function moduleOf(path) {
  let best = [null, -1];
  for (const [name, [prefixes]] of Object.entries(MODULES))
    for (const prefix of prefixes) if (path.startsWith(prefix) && prefix.length > best[1]) best = [name, prefix.length];
  return best[0];
}

// One way means no cycle, also through modules that only allow each other
// indirectly: the table lists every module after the ones it may use.
const problems = [];
const listed = Object.keys(MODULES);
for (const [name, [, allowed]] of Object.entries(MODULES)) {
  for (const dep of allowed) {
    if (!(listed.indexOf(dep) >= 0 && listed.indexOf(dep) < listed.indexOf(name))) {
      problems.push(`${name} may use ${dep}, which is not a module listed before it (unknown, or a cycle)`);
    }
  }
}

const files = execFileSync('git', ['ls-files', '-z', '--', '*.h', '*.hpp', '*.cpp', '*.c', '*.inc'], { cwd: root })
  .toString().split('\0').filter(Boolean);
for (const file of files) {
  const from = moduleOf(file);
  if (!from) continue;  // tests, tools and benchmarks may use any module
  const allowed = new Set([from, ...MODULES[from][1]]);
  readFileSync(`${root}/${file}`, 'utf8').split('\n').forEach((line, index) => {
    const m = /^\s*#\s*include\s*"([^"]+)"/.exec(line);
    if (!m) return;
    const to = moduleOf(m[1]);
    if (to && !allowed.has(to)) problems.push(`${file}:${index + 1}: ${from} may not include ${m[1]} (${to})`);
  });
}

// The build's include view of each module shows exactly the headers of the
// modules it may use: one header of every module is looked up in every view.
const views = process.env.KL_BINARY_DIR && `${process.env.KL_BINARY_DIR}/module_views`;
if (views) {
  const sample = {};
  for (const file of files) sample[moduleOf(file)] ??= file;
  for (const [name, [, uses]] of Object.entries(MODULES)) {
    const visible = new Set([name, ...uses]);
    for (const [other, file] of Object.entries(sample)) {
      if (other === 'null' || existsSync(`${views}/${name}/${file}`) === visible.has(other)) continue;
      problems.push(`the include view of ${name} ${visible.has(other) ? 'lacks' : 'shows'} ${file} (${other})`);
    }
  }
}

if (problems.length) {
  console.error(problems.join('\n'));
  console.error(`${problems.length} problem(s) with the module graph`);
  process.exit(1);
}
console.log(`${files.length} files follow the module graph`);
