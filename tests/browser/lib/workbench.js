'use strict';
// Starts kartolink-workbench (already built) with an add-on, reads the
// address it prints and opens it in Debian's chromium through playwright-core;
// starts the local geoportal the same way.
const assert = require('assert/strict');
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const CHROMIUM = '/usr/bin/chromium';
// WebGL (the workbench's 3D view) runs on the software rasteriser.
const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--use-angle=swiftshader', '--enable-unsafe-swiftshader'];

function binaryDir() {
  return process.env.KL_BINARY_DIR || path.join(__dirname, '..', '..', '..', 'build');
}
function testAddonPath() {
  return path.join(binaryDir(), 'tests', 'host', 'libkl_test_addon.so');
}

// The local geoportal as a child process on a free loopback port.
function startGeoportal() {
  return new Promise((resolve, reject) => {
    const child = spawn(path.join(binaryDir(), 'tools', 'geoportal', 'kartolink-geoportal'), [],
      { stdio: ['ignore', 'pipe', 'inherit'] });
    let out = '';
    const timer = setTimeout(() => reject(new Error('geoportal did not start')), 20000);
    child.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/Geoportal: (http:\/\/127\.0\.0\.1:\d+)/);
      if (m) {
        clearTimeout(timer);
        resolve({ base: m[1], close: () => child.kill('SIGTERM') });
      }
    });
    child.on('exit', (code) => reject(new Error('geoportal exited ' + code)));
  });
}

// A raw request to the workbench, with full control over path and headers
// (fetch would normalise "../" and refuse some headers).
function rawRequest(port, { method = 'GET', path: p = '/', headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    // A fresh connection each time: a kept-alive socket that the server closed
    // while idle would fail the next request with a reset.
    const req = http.request({ host: '127.0.0.1', port, method, path: p, headers, agent: false }, (res) => {
      let data = '';
      res.setEncoding('utf8');
      res.on('data', (c) => { data += c; });
      res.on('end', () => resolve({ status: res.statusCode, body: data, headers: res.headers }));
    });
    req.on('error', reject);
    if (body !== undefined) req.write(typeof body === 'string' ? body : JSON.stringify(body));
    req.end();
  });
}

// The workbench's revision stream: every change it shows, plus an idle line
// every few seconds. after(n) resolves once more than n lines have arrived.
function revisionStream(port, base) {
  const stream = { lines: 0, waiters: [], request: null };
  const wake = () => {
    const due = stream.waiters.filter((w) => stream.lines > w.seen || stream.request === null);
    stream.waiters = stream.waiters.filter((w) => !due.includes(w));
    due.forEach((w) => w.resolve());
  };
  stream.request = http.get({ host: '127.0.0.1', port, path: base + 'events', agent: false }, (res) => {
    res.setEncoding('utf8');
    res.on('data', () => { stream.lines++; wake(); });
    res.on('end', () => { stream.request = null; wake(); });
  });
  stream.request.on('error', () => { stream.request = null; wake(); });
  stream.after = (seen) => new Promise((resolve) => { stream.waiters.push({ seen, resolve }); wake(); });
  stream.close = () => { if (stream.request) stream.request.destroy(); };
  return stream;
}

function makeApi(port, base) {
  const call = async (method, name, body) => {
    const res = await rawRequest(port, {
      method, path: base + 'api/' + name, body,
      headers: body !== undefined ? { 'Content-Type': 'application/json' } : {},
    });
    if (res.status !== 200) throw new Error(`${method} api/${name}: HTTP ${res.status} ${res.body}`);
    return JSON.parse(res.body);
  };
  let revisions = null;
  const api = {
    state: () => call('GET', 'state'),
    model: () => call('GET', 'model'),
    menu: (item, menu = 32500) => call('POST', 'menu', { menu, item }),
    closeBox: (palette) => call('POST', 'palette-close', { palette }),
    // Reads the state again after every change until predicate(state) is truthy.
    async waitFor(predicate, timeoutMs = 15000, what = 'condition') {
      const end = Date.now() + timeoutMs;
      if (!revisions) revisions = revisionStream(port, base);
      let last;
      while (Date.now() < end) {
        const seen = revisions.lines;
        last = await api.state();
        const hit = predicate(last);
        if (hit) return hit === true ? last : hit;
        await revisions.after(seen);
      }
      throw new Error('timed out waiting for ' + what + '; last state: ' + JSON.stringify(last).slice(0, 2000));
    },
    stopWaiting: () => { if (revisions) revisions.close(); },
  };
  return api;
}

function waitForAddress(child, timeoutMs) {
  return new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error('the workbench printed no address; stdout: ' + out)), timeoutMs);
    child.stdout.setEncoding('utf8');
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const m = out.match(/^Workbench: (\S+)$/m);
      if (m) { clearTimeout(timer); resolve(m[1]); }
    });
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error('the workbench exited early, code ' + code)); });
  });
}

// options: addon (path, or null for none), args (extra command-line words),
// env, viewport.
async function startWorkbench(options = {}) {
  const { addon = path.join(binaryDir(), 'shell', 'libkartolink.so'), args = [], env = {},
    viewport = { width: 1500, height: 950 } } = options;
  const argv = ['--headless', '--stdin-quit', ...(addon ? ['--addon', addon] : ['--no-addon']), ...args];
  const child = spawn(path.join(binaryDir(), 'host', 'kartolink-workbench'), argv,
    { env: { ...process.env, ...env }, stdio: ['pipe', 'pipe', 'pipe'] });
  const stderr = [];
  child.stderr.setEncoding('utf8');
  child.stderr.on('data', (c) => stderr.push(c));
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  let url;
  try {
    url = await waitForAddress(child, 30000);
  } catch (err) {
    child.kill('SIGKILL');
    throw new Error(err.message + '\nstderr: ' + stderr.join(''));
  }
  const parsed = new URL(url);
  const port = Number(parsed.port);
  const base = parsed.pathname;  // "/t/<token>/"
  const api = makeApi(port, base);

  const { chromium } = require('playwright-core');
  const browser = await chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS });
  const context = await browser.newContext({ viewport });
  const page = await context.newPage();
  // A loaded machine may take its time over the first page.
  await page.goto(url, { timeout: 120000 });

  let closed = null;
  async function close() {
    if (closed) return closed;
    closed = (async () => {
      await browser.close().catch(() => {});
      api.stopWaiting();
      child.stdin.end();
      const timer = setTimeout(() => child.kill('SIGTERM'), 10000);
      const killer = setTimeout(() => child.kill('SIGKILL'), 20000);
      const result = await exited;
      clearTimeout(timer);
      clearTimeout(killer);
      return { ...result, stderr: stderr.join('') };
    })();
    return closed;
  }

  return {
    url, api, page, context,
    log: () => stderr.join(''),
    // The frame of a palette's browser, by palette id (see api.state().palettes).
    paletteFrame: (paletteId) => page.frameLocator(`.palette[data-palette-id="${paletteId}"] iframe`),
    // Clicks menu > submenu > item in the workbench page.
    async chooseMenu(itemText, { title = 'Ordvik', submenu = 'Geodrop' } = {}) {
      await page.click(`#menus .menu-title:text-is("${title}")`);
      await page.hover(`#menus .has-submenu:has-text("${submenu}")`);
      await page.click(`#menus .menu-item:has-text("${itemText}")`);
    },
    close,
  };
}

// Whether a request stays on this machine (data:, blob: and about: never leave it).
function isLoopback(address) {
  try {
    const u = new URL(address);
    if (u.protocol === 'blob:') return isLoopback(u.pathname);
    if (['data:', 'about:'].includes(u.protocol)) return true;
    return ['http:', 'ws:'].includes(u.protocol) && ['127.0.0.1', 'localhost'].includes(u.hostname);
  } catch (e) {
    return false;
  }
}

// Private settings, cache, diagnostics and temporary folders for the workbench
// and what it starts; remove() deletes them again.
function privateHome(prefix) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  const env = { XDG_CONFIG_HOME: path.join(dir, 'config'), XDG_CACHE_HOME: path.join(dir, 'cache'),
    KL_DIAG_DIR: path.join(dir, 'diag'), TMPDIR: path.join(dir, 'tmp') };
  fs.mkdirSync(env.TMPDIR);
  return { dir, env, remove: () => fs.rmSync(dir, { recursive: true, force: true }) };
}

// The workbench in demo mode (the real add-on against the local geoportal) in
// a private home removed on close, where every request of its pages that would
// leave the machine is refused and listed in foreign.
async function startDemoWorkbench(homePrefix) {
  const home = privateHome(homePrefix);
  let wb;
  try {
    wb = await startWorkbench({ args: ['--demo'], env: home.env, viewport: { width: 1600, height: 1000 } });
  } catch (err) {
    home.remove();
    throw err;
  }
  const foreign = [];
  const close = () => wb.close().finally(() => home.remove());
  try {
    await wb.context.route('**/*', (route) => {
      const address = route.request().url();
      if (isLoopback(address)) return route.continue();
      foreign.push(address);
      return route.abort();
    });
  } catch (err) {
    await close();
    throw err;
  }
  return {
    ...wb,
    home,
    foreign,
    close,
    // The map palette from the menu, once the add-on has answered it: the
    // palette, the frame to act in and the page to read the map from.
    async openMapPalette() {
      await wb.chooseMenu('Mapa importu GIS');
      const palette = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Geodrop'), 15000,
        'map palette shown');
      const frame = wb.paletteFrame(palette.id);
      await frame.locator('#versionTag:text-is("v1.8.0")').waitFor({ timeout: 30000 });
      const page = wb.page.frames().find((f) => f.url().split('?')[0].endsWith('/map.html'));
      return { palette, frame, page };
    },
  };
}

// Runs body(wb), then closes the workbench, prints the line body resolved
// with and ends the process: failed unless the workbench exited cleanly and no
// request of its pages left the machine.
async function checked(start, body) {
  const wb = await start();
  let result, line;
  try {
    line = await body(wb);
  } catch (e) {
    console.error('workbench log:\n' + wb.log());
    throw e;
  } finally {
    result = await wb.close();
  }
  assert.equal(result.code, 0, 'the workbench exits cleanly: ' + result.stderr);
  assert.deepEqual(wb.foreign || [], [], 'requests left loopback');
  return line;
}

const runChecked = (start, body) => checked(start, body).then((line) => { console.log(line); process.exit(0); },
  (e) => { console.error(e); process.exit(1); });

module.exports = { runChecked, startGeoportal, startWorkbench, startDemoWorkbench, isLoopback, testAddonPath,
  CHROMIUM, CHROMIUM_ARGS };
