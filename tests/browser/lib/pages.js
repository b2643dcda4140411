'use strict';
// Opens the two pages in the browser, straight from the source tree and
// node_modules through the browser's request routing at a loopback address
// nothing listens on, beside the local geoportal, which answers every map
// service the pages draw from, so a browser test never leaves 127.0.0.1.
// Collects every request the page makes.
const assert = require('assert/strict');
const fs = require('fs');
const path = require('path');
const { CHROMIUM, CHROMIUM_ARGS, isLoopback, startGeoportal } = require('./workbench');

const source = process.env.KL_SOURCE_DIR || path.resolve(__dirname, '..', '..', '..');
const nodeModules = process.env.NODE_PATH || path.join(source, 'node_modules');
const PAGES = 'http://127.0.0.1:65000/web/';
const LIBRARIES = {
  'leaflet.js': 'leaflet/dist/leaflet.js',
  'leaflet.css': 'leaflet/dist/leaflet.css',
  'maplibre-gl.js': 'maplibre-gl/dist/maplibre-gl.js',
  'maplibre-gl.css': 'maplibre-gl/dist/maplibre-gl.css',
  'leaflet-maplibre-gl.js': '@maplibre/maplibre-gl-leaflet/leaflet-maplibre-gl.js'
};

// The file behind a page address: a library or a page file of shell/web.
function pageFile(address) {
  const name = address.slice(PAGES.length).split(/[?#]/)[0];
  if (LIBRARIES[name]) return path.join(nodeModules, LIBRARIES[name]);
  const file = path.join(source, 'shell', 'web', name);
  return /^[a-z]+\.(html|js|css)$/.test(name) && fs.existsSync(file) ? file : null;
}

// Stands in for the add-on's script object: records what the page posts.
const FAKE_GIS = `
  window.__posted = [];
  window.GIS = { postMessage: function (text) { window.__posted.push(JSON.parse(text)); return true; } };
`;

// Opens a page in a fresh context; every request is recorded and anything not on
// loopback is aborted and listed in foreign. With clock the page's timers stand
// still until the test moves them on with page.clock.runFor(ms).
async function openPage(browser, name, options) {
  const opts = options || {};
  const context = await browser.newContext({ viewport: { width: 900, height: 600 } });
  const page = await context.newPage();
  const record = { requests: [], foreign: [], consoleWarnings: [], pageErrors: [] };
  await page.route('**/*', (route) => {
    const address = route.request().url();
    record.requests.push(address);
    if (address.startsWith(PAGES)) {
      const file = pageFile(address);
      return file ? route.fulfill({ path: file }) : route.fulfill({ status: 404, body: '' });
    }
    if (isLoopback(address)) return route.continue();
    record.foreign.push(address);
    return route.abort();
  });
  page.on('console', (m) => { if (m.type() === 'warning') record.consoleWarnings.push(m.text()); });
  page.on('pageerror', (e) => record.pageErrors.push(String(e)));
  if (opts.noWebGL) {
    await page.addInitScript(() => {
      const orig = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind) {
        return /webgl/.test(String(kind)) ? null : orig.apply(this, arguments);
      };
    });
  }
  if (!opts.lateBridge) await page.addInitScript(FAKE_GIS);
  if (opts.clock) {
    await page.clock.install({ time: 0 });
    await page.clock.pauseAt(1000);
  }
  await page.goto(PAGES + name);
  return { page, context, record };
}

// Pushes one add-on message into the page the way the palette does.
function push(page, msg) {
  return page.evaluate((m) => GISBridge.receive(m), msg);
}

function posted(page) {
  return page.evaluate(() => window.__posted.slice());
}

async function waitPosted(page, type) {
  await page.waitForFunction((t) => window.__posted.some((m) => m.type === t), type);
  const all = await posted(page);
  return all.filter((m) => m.type === type).pop();
}

const text = (page, sel) => page.$eval(sel, (e) => e.textContent);
const hasClass = (page, sel, c) => page.$eval(sel, (e, k) => e.classList.contains(k), c);
const isHidden = (page, sel) => page.$eval(sel, (e) => e.hidden || getComputedStyle(e).display === 'none');
const disabled = (page, sel) => page.$eval(sel, (e) => e.disabled);

// One server and one browser for the cases of a file. suite.open(name, options)
// opens a page for the running case and keeps its request record.
function suite() {
  const s = { srv: null, browser: null, records: [], opened: [] };
  s.open = async (name, options) => {
    const o = await openPage(s.browser, name, options);
    s.records.push(o.record);
    s.opened.push(o);
    return o;
  };
  return s;
}

// Runs the named cases in order as node tests, each failing on a script error
// of a page it opened, which are closed after it; a last one fails when the
// pages made no request at all or any request left loopback.
function main(cases, s) {
  const { test, before, after } = require('node:test');
  before(async () => {
    // hosts: what the add-on would give the pages; requested(prefix): the geoportal's log of that path.
    const geo = await startGeoportal();
    s.srv = { hosts: Object.fromEntries(['orto', 'egib', 'prg', 'mpzp', 'pog', 'ofm'].map((k) => [k, geo.base])),
      requested: async (prefix) => (await fetch(geo.base + '/__log?path=' + encodeURIComponent(prefix))).json(),
      close: geo.close };
    // A page the router answers has no address, so the browser would take it
    // for a public one and refuse its requests to loopback services; served
    // by the add-on's host it is local like them.
    s.browser = await require('playwright-core').chromium.launch({ executablePath: CHROMIUM,
      args: [...CHROMIUM_ARGS, '--disable-features=LocalNetworkAccessChecks'] });
  });
  after(async () => {
    await s.browser.close();
    await s.srv.close();
  });
  for (const [name, fn] of cases) {
    test(name, async () => {
      try {
        await fn();
        for (const o of s.opened) assert.deepEqual(o.record.pageErrors, [], 'page script errors');
      } finally {
        await Promise.all(s.opened.splice(0).map((o) => o.context.close()));
      }
    });
  }
  test('every request of the pages stays on 127.0.0.1', () => {
    assert.ok(s.records.some((r) => r.requests.length > 0), 'the pages made no request');
    assert.deepEqual(s.records.flatMap((r) => r.foreign), []);
  });
}

module.exports = { push, posted, waitPosted, FAKE_GIS, text, hasClass, isHidden, disabled, suite, main };
