'use strict';
// The real add-on in the workbench, driven from its menu in a real browser:
// the map page draws from the service hosts the add-on gives it and its ping
// comes back as pong with the version; a message type built to break out of
// the script the answer travels in stays text; the cloud palette opens. Every
// map service points at the local geoportal, and no request leaves 127.0.0.1.
// (The bridge's refusals and the palette's menu and close box are checked
// message by message in the shell tests, the workbench's gate in the host
// tests; the settings dialog on the page's side in the map page test and on
// the add-on's, across a restart, in the settings tests.)
const assert = require('assert/strict');
const fs = require('fs');
const path = require('path');
const { privateHome, runTest, session, startGeoportal, startGuardedWorkbench } = require('./lib/workbench');

const CONNECTED = 'Połączono z ArchiCAD ✓';

const BUILD_STAMP = /^[A-Z][a-z]{2} [ \d]\d \d{4} \d\d:\d\d:\d\d$/;

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
    window.GISBridge.send(s.type, s.payload);
  }), { send, replyType });
}

async function palettes(wb, geo, home) {
  const state = await wb.api.state();
  assert.equal(state.addon.loaded, true, state.addon.error);
  assert.equal(state.palettes.length, 0, 'palettes are created on first use');

  const { frame: ui, page: frame } = await wb.openMapPalette();
  assert.equal(await ui.locator('#status').textContent(), CONNECTED);
  await ui.locator('.leaflet-tile-loaded').first().waitFor({ timeout: 15000 });
  const cadastre = await (await fetch(geo.base + '/__log?path=/cgi-bin/KrajowaIntegracjaEwidencjiGruntow')).json();
  assert.ok(cadastre.length > 0, 'the page took its service hosts from the add-on');

  const pong = await roundTrip(frame, { type: 'ping' }, 'pong');
  assert.equal(pong.wersja, '1.8.0');
  assert.match(pong.build, BUILD_STAMP);

  const breakout = await roundTrip(frame, { type: '</script><img src=x onerror=alert(1)>\u2028' }, 'error');
  assert.equal(breakout.msg, 'Brak obslugi wiadomosci: </script><img src=x onerror=alert(1)>\u2028');
  assert.equal(await frame.locator('img[src=x]').count(), 0);

  // The view lies outside the demo's boundaries: the page says that the county
  // could not be found rather than "no data".
  await ui.locator('#fetchBtn').click();
  await ui.locator('#status:has-text("Nie udalo sie ustalic powiatu dla widoku")').waitFor({ timeout: 30000 });

  await wb.chooseMenu('Chmura punktow');
  const cloud = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Chmura punktow'),
    15000, 'cloud palette shown');
  await wb.paletteFrame(cloud.id).locator(`#connection:text-is("${CONNECTED}")`).waitFor({ timeout: 15000 });

  const log = fs.readFileSync(path.join(home.env.KL_DIAG_DIR, 'ordvik_web_diag.txt'), 'utf8');
  const loaded = log.match(/^LoadURL=(\S+)$/m);
  assert.ok(loaded, 'LoadURL logged');
  assert.ok(loaded[1].includes('kl%20shell%20%231%20100%25%20za%C5%BC%C3%B3%C5%82%C4%87'), loaded[1]);
}

runTest(async () => {
  // A home whose name needs encoding in the page address.
  const home = privateHome('kl shell #1 100% zażółć ');
  const geo = await startGeoportal();
  try {
    await session(() => startGuardedWorkbench({ env: { ...home.env, KL_SERVICE_HOSTS: geo.base } }),
      (wb) => palettes(wb, geo, home));
  } finally {
    geo.close();
    home.remove();
  }
  return 'shell_ping: ok';
});
