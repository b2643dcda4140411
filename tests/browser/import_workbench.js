'use strict';
// The import as a newcomer does it: the workbench in demo mode, the map
// palette from the menu, three layers ticked, "1. Pobierz" with the preview
// on the map, "2. Dodaj do projektu", and the site in the project on its
// layers, gone again after one undo. No request leaves 127.0.0.1.
const assert = require('assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { startWorkbench } = require('./lib/workbench');

const SHOTS = process.env.KL_SCREENSHOT_DIR || os.tmpdir();
// The demo site of the local geoportal.
const PARCELS = 170, BUILDINGS = 166, UTILITIES = 169 + 101 + 31 + 31;

function isLoopback(address) {
  try {
    const host = new URL(address).hostname;
    return host === '127.0.0.1' || host === 'localhost';
  } catch (e) {
    return !/^[a-z]+:\/\//i.test(address);  // data:, blob:, about:
  }
}

function countByLayer(model) {
  const names = {};
  for (const l of model.attributes.layers) names[l.index] = l.name;
  const counts = {};
  for (const e of model.elements) {
    const key = names[e.layer] + ' ' + e.type;
    counts[key] = (counts[key] || 0) + 1;
  }
  return counts;
}

async function main() {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'kl_import_wb_'));
  const env = {
    XDG_CONFIG_HOME: path.join(home, 'config'),
    XDG_CACHE_HOME: path.join(home, 'cache'),
    KL_DIAG_DIR: path.join(home, 'diag'),
  };
  const foreign = [];
  const wb = await startWorkbench({ env, args: ['--demo'], viewport: { width: 1600, height: 1000 } });
  try {
    await wb.page.route('**/*', (route) => {
      const address = route.request().url();
      if (isLoopback(address)) return route.continue();
      foreign.push(address);
      return route.abort();
    });
    await wb.chooseMenu('Mapa importu GIS');
    const palette = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Geodrop'), 15000,
      'map palette shown');
    const frame = wb.paletteFrame(palette.id);
    await frame.locator('#versionTag:text-is("v1.8.0")').waitFor({ timeout: 30000 });

    // The project lies at the demo site; one step out shows all of it.
    const page = await wb.pageFrame('map.html');
    await page.waitForFunction(() => hosts !== null);  // the add-on's init has centred the map
    const zoom = await page.evaluate(() => map.getZoom());
    await frame.locator('.leaflet-control-zoom-out').click();
    await page.waitForFunction((z) => map.getZoom() === z - 1, zoom);
    for (const box of await frame.locator('#layers2d input[type=checkbox], #layers3d input[type=checkbox]').all())
      if (await box.isVisible()) await box.setChecked(false);
    for (const key of ['dzialki', 'budynki', 'gesut']) await frame.locator('#layer_' + key).setChecked(true);

    await frame.locator('#fetchBtn').click();
    await frame.locator('#placeBtn:not([disabled])').waitFor({ timeout: 120000 });
    const status = await frame.locator('#status').textContent();
    assert.ok(status.startsWith('Pobrano'), status);
    const preview = await frame.locator('.leaflet-overlay-pane path').count();
    assert.ok(preview >= PARCELS + BUILDINGS + UTILITIES, 'preview shapes on the map: ' + preview);
    await wb.page.screenshot({ path: path.join(SHOTS, 'kartolink_import_preview.png') });

    await frame.locator('#placeBtn').click();
    await frame.locator('#status:text-matches("^Dodano do projektu")').waitFor({ timeout: 60000 });
    const placed = countByLayer(await wb.api.model());
    assert.deepEqual(placed, {
      'GIS_DZIALKI polyline': PARCELS,
      'GIS_DZIALKI text': PARCELS,
      'GIS_BUDYNKI hatch': BUILDINGS,
      'GIS_GESUT polyline': UTILITIES,
    });
    const state = await wb.api.state();
    assert.ok(JSON.stringify(state).includes('KARTOLINK: wektory w lokalnych wsp.'), 'report line written');
    await wb.page.screenshot({ path: path.join(SHOTS, 'kartolink_import_placed.png') });

    assert.equal((await wb.api.undo()).done, true);
    assert.deepEqual((await wb.api.model()).elements, [], 'one undo step removes the whole import');

    const result = await wb.close();
    assert.equal(result.code, 0, result.stderr);
  } finally {
    await wb.close();
    fs.rmSync(home, { recursive: true, force: true });
  }
  assert.deepEqual(foreign, [], 'requests left loopback');
  console.log('ok   import in the workbench: fetch, preview, place on three layers, one undo; loopback only');
}

main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
