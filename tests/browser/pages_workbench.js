'use strict';
// The real add-on in the workbench: both palettes open from the menu, the map
// page talks to the add-on, a layer chosen in the settings dialog is still
// there after the workbench restarts. Every map service points at a loopback
// stand-in, and no request of the palette pages leaves 127.0.0.1.
const assert = require('assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { startWorkbench } = require('./lib/workbench');
const h = require(path.join(__dirname, '..', 'pages', 'page_server.js'));

const SHOTS = process.env.KL_SCREENSHOT_DIR || os.tmpdir();

function guardRequests(page, foreign) {
  return page.route('**/*', (route) => {
    const address = route.request().url();
    if (h.isLoopback(address)) return route.continue();
    foreign.push(address);
    return route.abort();
  });
}

async function openMapPalette(wb) {
  await wb.chooseMenu('Mapa importu GIS');
  const state = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Geodrop'), 15000,
    'map palette shown');
  const frame = wb.paletteFrame(state.id);
  try {
    await frame.locator('#versionTag:text-is("v1.8.0")').waitFor({ timeout: 30000 });
  } catch (e) {
    console.log('workbench state: ' + JSON.stringify(await wb.api.state()).slice(0, 3000));
    console.log('workbench log: ' + wb.log().slice(-3000));
    throw e;
  }
  assert.equal(await frame.locator('#status').textContent(), 'Połączono z ArchiCAD ✓');
  return frame;
}

async function openSettings(frame) {
  await frame.locator('#layersBtn').click();
  await frame.locator('#settingsDialog:not([hidden])').waitFor();
  return (key) => frame.locator(`#settingsRows select[data-key="${key}"]`);
}

async function main() {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'kl_pages_wb_'));
  const srv = await h.startServer();
  const env = {
    XDG_CONFIG_HOME: path.join(home, 'config'),
    XDG_CACHE_HOME: path.join(home, 'cache'),
    KL_DIAG_DIR: path.join(home, 'diag'),
    KL_SERVICE_HOSTS: srv.base,
  };
  const settingsFile = path.join(home, 'config', 'KARTOLINK', 'settings.json');
  const foreign = [];
  let wb = await startWorkbench({ env });
  try {
    await guardRequests(wb.page, foreign);
    let frame = await openMapPalette(wb);
    await frame.locator('.leaflet-tile-loaded').first().waitFor({ timeout: 15000 });
    assert.ok(srv.served.some((u) => u.startsWith('/cgi-bin/KrajowaIntegracjaEwidencjiGruntow?')),
      'the page took its service hosts from the add-on');

    let row = await openSettings(frame);
    assert.equal(await row('budynki').inputValue(), 'GIS_BUDYNKI');
    wb.page.once('dialog', (d) => d.accept('Budynki moje ż'));
    await row('budynki').selectOption({ label: '➕ nowa warstwa…' });
    assert.equal(await row('budynki').inputValue(), 'Budynki moje ż');
    await wb.page.screenshot({ path: path.join(SHOTS, 'kartolink_workbench_settings.png') });
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

    await wb.page.screenshot({ path: path.join(SHOTS, 'kartolink_workbench_map.png') });
    await wb.chooseMenu('Chmura punktow');
    const cloud = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Chmura punktow'),
      15000, 'cloud palette shown');
    const cloudFrame = wb.paletteFrame(cloud.id);
    await cloudFrame.locator('#detail').waitFor();
    await cloudFrame.locator('#connection:text-is("Połączono z ArchiCAD ✓")').waitFor({ timeout: 15000 });
    assert.equal(await cloudFrame.locator('#detail').inputValue(), '1');
    await wb.page.screenshot({ path: path.join(SHOTS, 'kartolink_workbench_cloud.png') });

    const result = await wb.close();
    assert.equal(result.code, 0, result.stderr);

    wb = await startWorkbench({ env });
    await guardRequests(wb.page, foreign);
    frame = await openMapPalette(wb);
    row = await openSettings(frame);
    assert.equal(await row('budynki').inputValue(), 'Budynki moje ż', 'kept across the restart');
    assert.equal(await row('budynki').locator('option:checked').textContent(), 'Budynki moje ż (nowa)');
    assert.equal(await row('dzialki').inputValue(), 'GIS_DZIALKI');
  } finally {
    await wb.close();
    await srv.close();
    fs.rmSync(home, { recursive: true, force: true });
  }
  assert.deepEqual(foreign, [], 'requests left loopback');
  console.log('ok   workbench: palettes, settings dialog, restart keeps the layer; no request left 127.0.0.1');
}

main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
