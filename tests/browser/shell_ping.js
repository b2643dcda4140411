'use strict';
// The real add-on in the workbench, driven from its menu in a real browser:
// the map page draws from the service hosts the add-on gives it and its ping
// comes back as pong with the version; hostile messages from the page get the
// bridge's errors; a layer chosen in the settings dialog is still there after
// the workbench restarts; the check mark follows the palette; the cloud
// palette opens; the workbench refuses requests without its token, from a
// foreign origin or outside the page folder. Every map service points at a
// loopback stand-in, and no request leaves 127.0.0.1.
const assert = require('assert/strict');
const fs = require('fs');
const path = require('path');
const { privateHome, runTest, session, startGuardedWorkbench } = require('./lib/workbench');
const h = require(path.join(__dirname, '..', 'pages', 'page_server.js'));

const CONNECTED = 'Połączono z ArchiCAD ✓';

const BUILD_STAMP = /^[A-Z][a-z]{2} [ \d]\d \d{4} \d\d:\d\d:\d\d$/;

function mapItem(state, index) {
  const menu = state.menus.find((m) => m.id === 32500);
  return menu.items.find((i) => i.index === index);
}

function mapPalette(state) {
  return state.palettes.find((p) => p.dialog === 32500);
}

// Sends a message from the page and resolves with the first message of
// replyType that the page's bridge receives.
function roundTrip(frame, send, replyType) {
  return frame.evaluate(({ send: s, replyType: t }) => new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no ' + t)), 10000);
    const original = window.GISBridge.receive;
    window.GISBridge.receive = (msg) => {
      original.call(window.GISBridge, msg);
      if (msg && msg.type === t) {
        window.GISBridge.receive = original;
        clearTimeout(timer);
        resolve(msg);
      }
    };
    if (s.raw !== undefined) window.GIS.postMessage(s.raw);
    else window.GISBridge.send(s.type, s.payload);
  }), { send, replyType });
}

async function openSettings(ui) {
  await ui.locator('#layersBtn').click();
  await ui.locator('#settingsDialog:not([hidden])').waitFor();
  return (key) => ui.locator(`#settingsRows select[data-key="${key}"]`);
}

async function firstRun(wb, srv, home) {
  let state = await wb.api.state();
  assert.equal(state.addon.loaded, true, state.addon.error);
  assert.equal(state.palettes.length, 0, 'palettes are created on first use');

  const { palette, frame: ui, page: frame } = await wb.openMapPalette();
  const paletteId = palette.id;
  state = await wb.api.state();
  assert.equal(mapItem(state, 1).checked, true);
  assert.equal(await ui.locator('#status').textContent(), CONNECTED);
  await ui.locator('.leaflet-tile-loaded').first().waitFor({ timeout: 15000 });
  assert.ok(srv.served.some((u) => u.startsWith('/cgi-bin/KrajowaIntegracjaEwidencjiGruntow?')),
    'the page took its service hosts from the add-on');

  const pong = await roundTrip(frame, { type: 'ping' }, 'pong');
  assert.equal(pong.wersja, '1.8.0');
  assert.match(pong.build, BUILD_STAMP);

  // Hostile messages straight into the page's script object.
  const invalid = await roundTrip(frame, { raw: '{"type":5}' }, 'error');
  assert.equal(invalid.msg, 'Nieprawidlowa wiadomosc z UI (JSON)');
  const oversized = await roundTrip(frame, { raw: JSON.stringify({ type: 'ping', pad: 'a'.repeat(10 << 20) }) },
    'error');
  assert.equal(oversized.msg, 'Nieprawidlowa wiadomosc z UI (JSON)');
  const breakout = await roundTrip(frame, { type: '</script><img src=x onerror=alert(1)>\u2028' }, 'error');
  assert.equal(breakout.msg, 'Brak obslugi wiadomosci: </script><img src=x onerror=alert(1)>\u2028');
  assert.equal(await frame.locator('img[src=x]').count(), 0);
  const noop = await roundTrip(frame, { type: 'openExternal', payload: { url: 'file:///etc/passwd' } }, 'noop');
  assert.deepEqual(noop, { type: 'noop' });
  state = await wb.api.state();
  assert.equal(state.shellOpened.length, 0, 'a file address is never opened');

  const row = await openSettings(ui);
  assert.equal(await row('budynki').inputValue(), 'GIS_BUDYNKI');
  wb.page.once('dialog', (d) => d.accept('Budynki moje ż'));
  await row('budynki').selectOption({ label: '➕ nowa warstwa…' });
  assert.equal(await row('budynki').inputValue(), 'Budynki moje ż');
  await ui.locator('#settingsSave').click();
  await ui.locator('#status:text-is("Ustawienia zapisane")').waitFor();
  const saved = JSON.parse(fs.readFileSync(path.join(home.env.XDG_CONFIG_HOME, 'KARTOLINK', 'settings.json'), 'utf8'));
  assert.equal(saved.layers.budynki, 'Budynki moje ż');
  assert.equal(saved.layers.dzialki, 'GIS_DZIALKI');
  assert.equal(Object.keys(saved.layers).length, 20);
  // The stand-in has no boundary service: the page says that the county could
  // not be found rather than "no data".
  await ui.locator('#fetchBtn').click();
  await ui.locator('#status:has-text("Nie udalo sie ustalic powiatu dla widoku")').waitFor({ timeout: 30000 });

  // Toggle, close box, reopen: one instance all along, the check mark follows.
  await wb.chooseMenu('Mapa importu GIS');
  state = await wb.api.waitFor((s) => !mapPalette(s).visible && s, 10000, 'map palette hidden');
  assert.equal(mapItem(state, 1).checked, false);
  await wb.chooseMenu('Mapa importu GIS');
  state = await wb.api.waitFor((s) => mapPalette(s).visible && s, 10000, 'map palette shown again');
  await wb.api.closeBox(paletteId);
  state = await wb.api.waitFor((s) => !mapPalette(s).visible && s, 10000, 'closed by its close box');
  assert.equal(mapItem(state, 1).checked, false);
  assert.equal(state.palettes.length, 1);
  assert.equal(mapPalette(state).id, paletteId);

  await wb.chooseMenu('Chmura punktow');
  const cloud = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Chmura punktow'),
    15000, 'cloud palette shown');
  await wb.paletteFrame(cloud.id).locator(`#connection:text-is("${CONNECTED}")`).waitFor({ timeout: 15000 });
  assert.equal(await wb.paletteFrame(cloud.id).locator('#detail').inputValue(), '1');

  // The workbench's gate.
  const pagePath = new URL(frame.url()).pathname;
  const folder = pagePath.slice(0, pagePath.lastIndexOf('/') + 1);
  const mapJs = await wb.request({ path: folder + 'map.js' });
  assert.equal(mapJs.status, 200);
  assert.equal(mapJs.body, fs.readFileSync(path.join(process.env.KL_SOURCE_DIR, 'shell', 'web', 'map.js'), 'utf8'));
  const fakeToken = '/t/' + 'x'.repeat(wb.token.length) + '/';
  assert.equal((await wb.request({ path: fakeToken + 'api/state' })).status, 403, 'wrong token');
  assert.equal((await wb.request({ path: '/api/state' })).status, 403, 'no token');
  assert.equal((await wb.request({ path: folder.replace(wb.base, fakeToken) + 'map.js' })).status, 403);
  assert.equal((await wb.request({ path: wb.base + 'api/state', headers: { Origin: 'http://evil.example' } }))
    .status, 403, 'foreign origin');
  assert.equal((await wb.request({ path: wb.base + 'api/state', headers: { Host: 'evil.example' } })).status,
    403, 'foreign host');
  for (const escape of ['../../../../../../etc/passwd', '..%2f..%2f..%2f..%2fetc%2fpasswd',
    '%2e%2e/%2e%2e/%2e%2e/etc/passwd', '..\\..\\..\\etc\\passwd']) {
    const r = await wb.request({ path: folder + escape });
    assert.equal(r.status, 404, escape + ' -> ' + r.status);
    assert.ok(!r.body.includes('root:'), escape);
  }

  const log = fs.readFileSync(path.join(home.env.KL_DIAG_DIR, 'ordvik_web_diag.txt'), 'utf8');
  const loaded = log.match(/^LoadURL=(\S+)$/m);
  assert.ok(loaded, 'LoadURL logged');
  assert.ok(loaded[1].includes('kl%20shell%20%231%20100%25%20za%C5%BC%C3%B3%C5%82%C4%87'), loaded[1]);
}

async function afterRestart(wb) {
  const { frame: ui } = await wb.openMapPalette();
  const row = await openSettings(ui);
  assert.equal(await row('budynki').inputValue(), 'Budynki moje ż', 'kept across the restart');
  assert.equal(await row('budynki').locator('option:checked').textContent(), 'Budynki moje ż (nowa)');
  assert.equal(await row('dzialki').inputValue(), 'GIS_DZIALKI');
}

runTest(async () => {
  // A home whose name needs encoding in the page address.
  const home = privateHome('kl shell #1 100% zażółć ');
  const srv = await h.startServer();
  try {
    const start = () => startGuardedWorkbench({ env: { ...home.env, KL_SERVICE_HOSTS: srv.base } });
    await session(start, (wb) => firstRun(wb, srv, home));
    await session(start, afterRestart);
  } finally {
    await srv.close();
    home.remove();
  }
  return 'shell_ping: ok';
});
