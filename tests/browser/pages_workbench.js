'use strict';
// The real add-on in the workbench: both palettes open from the menu, the map
// page talks to the add-on, a layer chosen in the settings dialog is still
// there after the workbench restarts. Every map service points at a loopback
// stand-in, and no request of the palette pages leaves 127.0.0.1.
const assert = require('assert/strict');
const fs = require('fs');
const path = require('path');
const { privateHome, startGuardedWorkbench } = require('./lib/workbench');
const h = require(path.join(__dirname, '..', 'pages', 'page_server.js'));

const CONNECTED = 'Połączono z ArchiCAD ✓';

async function openSettings(wb) {
  const { frame } = await wb.openMapPalette();
  assert.equal(await frame.locator('#status').textContent(), CONNECTED);
  await frame.locator('#layersBtn').click();
  await frame.locator('#settingsDialog:not([hidden])').waitFor();
  return { frame, row: (key) => frame.locator(`#settingsRows select[data-key="${key}"]`) };
}

async function main() {
  const home = privateHome('kl_pages_wb_');
  const srv = await h.startServer();
  const env = { ...home.env, KL_SERVICE_HOSTS: srv.base };
  const settingsFile = path.join(home.env.XDG_CONFIG_HOME, 'KARTOLINK', 'settings.json');
  const foreign = [];
  let wb = null;
  try {
    wb = await startGuardedWorkbench({ env });
    let { frame, row } = await openSettings(wb);
    await frame.locator('.leaflet-tile-loaded').first().waitFor({ timeout: 15000 });
    assert.ok(srv.served.some((u) => u.startsWith('/cgi-bin/KrajowaIntegracjaEwidencjiGruntow?')),
      'the page took its service hosts from the add-on');
    assert.equal(await row('budynki').inputValue(), 'GIS_BUDYNKI');
    wb.page.once('dialog', (d) => d.accept('Budynki moje ż'));
    await row('budynki').selectOption({ label: '➕ nowa warstwa…' });
    assert.equal(await row('budynki').inputValue(), 'Budynki moje ż');
    await frame.locator('#settingsSave').click();
    await frame.locator('#status:text-is("Ustawienia zapisane")').waitFor();
    const saved = JSON.parse(fs.readFileSync(settingsFile, 'utf8'));
    assert.equal(saved.layers.budynki, 'Budynki moje ż');
    assert.equal(saved.layers.dzialki, 'GIS_DZIALKI');
    assert.equal(Object.keys(saved.layers).length, 20);

    // The fetch runs against the stand-in, which has no boundary service: the
    // page says that the county could not be found rather than "no data".
    await frame.locator('#fetchBtn').click();
    await frame.locator('#status:has-text("Nie udalo sie ustalic powiatu dla widoku")').waitFor({ timeout: 30000 });

    await wb.chooseMenu('Chmura punktow');
    const cloud = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Chmura punktow'),
      15000, 'cloud palette shown');
    const cloudFrame = wb.paletteFrame(cloud.id);
    await cloudFrame.locator(`#connection:text-is("${CONNECTED}")`).waitFor({ timeout: 15000 });
    assert.equal(await cloudFrame.locator('#detail').inputValue(), '1');

    const result = await wb.close();
    assert.equal(result.code, 0, result.stderr);
    foreign.push(...wb.foreign);

    wb = await startGuardedWorkbench({ env });
    ({ row } = await openSettings(wb));
    assert.equal(await row('budynki').inputValue(), 'Budynki moje ż', 'kept across the restart');
    assert.equal(await row('budynki').locator('option:checked').textContent(), 'Budynki moje ż (nowa)');
    assert.equal(await row('dzialki').inputValue(), 'GIS_DZIALKI');
    foreign.push(...wb.foreign);
  } finally {
    if (wb) await wb.close();
    await srv.close();
    home.remove();
  }
  assert.deepEqual(foreign, [], 'requests left loopback');
  console.log('ok   workbench: palettes, settings dialog, restart keeps the layer; no request left 127.0.0.1');
}

main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
