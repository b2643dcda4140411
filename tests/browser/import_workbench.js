'use strict';
// The import as a newcomer does it: the workbench in demo mode, the map
// palette from the menu, three layers and the orthophoto ticked, "1. Pobierz"
// with the preview on the map, "2. Dodaj do projektu", the site in the
// project on its layers with the orthophoto beneath the parcels in the plan.
// A click on the plan selects one element and a click beside it clears the
// selection; the cleanup from the menu asks in the workbench's alert. Last the
// ground from the cloud in the 3D view. No request leaves 127.0.0.1. (The
// address search is the C++ import test's and the map page's; what the
// cleanup deletes and in how many undo steps, the page following the host's
// undo and redo, and the roads and the bridge deck on the terrain models are
// checked in the C++ cleanup and import tests.)
const assert = require('assert/strict');
const { execFile } = require('child_process');
const path = require('path');
const { promisify } = require('util');
const { runChecked, startDemoWorkbench, startWorkbench } = require('./lib/workbench');

// The demo site of the local geoportal.
const PARCELS = 170, BUILDINGS = 166, UTILITIES = 169 + 101 + 31 + 31;
const CLEANUP = 'Czyszczenie duplikatow (polilinie + teksty)';
const BRIDGE = [51.26157, 15.57054];  // "Most na Bobrze", where Asnyka crosses the river

function elementsOn(model, layerName) {
  const layer = model.attributes.layers.find((l) => l.name === layerName);
  return layer ? model.elements.filter((e) => e.layer === layer.index) : [];
}

// The page keeps bridges, roads and water hidden; kartolink-import fetches
// every kind for the same site into a project file of its own: its path and content.
async function importEveryGroundKind(env) {
  const binary = path.join(process.env.KL_BINARY_DIR || path.join(__dirname, '..', '..', 'build'),
    'tools', 'import', 'kartolink-import');
  const out = path.join(env.TMPDIR, 'site.json');
  await promisify(execFile)(binary, ['--demo', '--demo-frame', '--layers',
    'terenchmura,poziomicechmura,wodachmura,mosty,drogi', '--out', out], { env: { ...process.env, ...env } });
  return [out, JSON.parse(require('fs').readFileSync(out, 'utf8'))];
}

// Waits until the 3D view of the workbench page draws every body of the model; resolves with their number.
async function bodiesShown(page, model, timeout) {
  const n = model.elements.filter((e) => ['mesh', 'morph', 'slab'].includes(e.type)).length;
  const drawn = () => page.evaluate(() => document.getElementById('view3d-canvas').dataset.bodies);
  await page.waitForFunction((k) => document.getElementById('view3d-canvas').dataset.bodies === String(k), n, { timeout })
    .catch(async () => { throw new Error(`3D view shows ${await drawn()} of ${n} bodies`); });
  return n;
}

// The site file opened in a workbench of its own (the project alone, no
// add-on): its 3D view draws every body, the roads lie on the drawn terrain
// and the bridge deck stands above it.
async function openedSite(file, site, env) {
  const opened = await startWorkbench({ addon: null, args: ['--open', file], env });
  try {
    assert.deepEqual(await opened.api.model(), site, 'the workbench holds the file as written');
    // The whole site's terrain is a few hundred thousand points for the software renderer: give it time.
    const bodies = await bodiesShown(opened.page, site, 240000);
    const gaps = (elements) => opened.page.evaluate(([vertices, guids]) =>
      vertices.map(([x, y, z]) => [z, window.view3dHeightAt(x, y, guids)]).filter(([, h]) => h !== null)
        .map(([z, h]) => z - h), [elements.flatMap((e) => e.body.vertices), elementsOn(site, 'GIS_TEREN_CHMURA').map((e) => e.guid)]);
    const roads = await gaps(elementsOn(site, 'GIS_DROGI')), deck = await gaps(elementsOn(site, 'GIS_MOSTY'));
    assert.ok(roads.length > 1000, 'road vertices over the drawn terrain: ' + roads.length);
    const p99 = roads.map(Math.abs).sort((a, b) => a - b)[Math.floor(roads.length * 0.99)];  // 99 % lie within
    assert.ok(p99 < 0.05, `roads on the drawn terrain: 99 % within ${p99} m`);
    const clear = Math.max(...deck);
    assert.ok(clear > 1, `the bridge deck stands ${clear} m over the drawn terrain`);
    return `${bodies} bodies drawn from the opened file, roads 99 % within ${(p99 * 100).toFixed(1)} cm of the drawn ` +
      `terrain, the deck up to ${clear.toFixed(2)} m above it`;
  } finally {
    await opened.close();
  }
}

// "Teren z chmury" and "Poziomice z chmury" from the page into the project
// and its 3D view; the bridge and the roads of the same site in a file of
// their own, opened in the workbench.
async function cloudGround(wb, frame, page) {
  // The blocks either side of the bridge: a terrain small enough for the 3D view of a software renderer.
  await page.evaluate(([lat, lon]) => map.setView([lat, lon], 18), BRIDGE);
  for (const box of await frame.locator('#layers2d input[type=checkbox], #layers3d input[type=checkbox]').all())
    if (await box.isVisible()) await box.setChecked(false);
  for (const key of ['terenchmura', 'poziomicechmura']) await frame.locator('#layer_' + key).setChecked(true);
  await frame.locator('#fetchBtn').click();
  await frame.locator('#placeBtn:not([disabled])').waitFor({ timeout: 240000 });
  await frame.locator('#placeBtn').click();
  await frame.locator('#status:text-matches("^Dodano do projektu")').waitFor({ timeout: 60000 });
  const model = await wb.api.model();
  const terrain = elementsOn(model, 'GIS_TEREN_CHMURA');
  assert.ok(terrain.length > 0 && terrain.every((e) => e.type === 'mesh' && e.levelPoints.length > 0),
    'terrain meshes from the cloud: ' + terrain.length);
  assert.equal(elementsOn(model, 'GIS_POZIOMICE_CHMURA_3D').filter((e) => e.type === 'mesh').length, 1);
  await bodiesShown(wb.page, model, 60000);

  const [file, site] = await importEveryGroundKind(wb.home.env);
  assert.deepEqual([elementsOn(site, 'GIS_DROGI').length, elementsOn(site, 'GIS_MOSTY').length], [9, 1]);
  return await openedSite(file, site, wb.home.env);
}

// Elements by "layer type", e.g. "GIS_DZIALKI polyline".
const countByLayer = (model) => model.elements.reduce((counts, e) => {
  const key = model.attributes.layers.find((l) => l.index === e.layer).name + ' ' + e.type;
  return { ...counts, [key]: (counts[key] || 0) + 1 };
}, {});

// Screen points of the plan, once its orthophoto is laid out: parcel corners
// and the margin outside the picture; and whether the picture is drawn first.
async function planPoints(page) {
  await page.waitForFunction(() => {
    const img = document.querySelector('#plan-svg image');
    return img && img.getBBox().width > 0;
  }, null, { timeout: 30000 });
  return page.evaluate(() => {
    const svg = document.getElementById('plan-svg');
    const img = svg.querySelector('image');
    const toScreen = (node, x, y) => {
      const p = new DOMPoint(x, y).matrixTransform(node.getScreenCTM());
      return { x: Math.round(p.x), y: Math.round(p.y) };
    };
    const corners = [...svg.querySelectorAll('path.outline')].slice(0, 1).map((p) => {
      const pt = p.getPointAtLength(0);
      return toScreen(p, pt.x, pt.y);
    });
    const box = img.getBoundingClientRect();
    return {
      pictureFirst: [...svg.querySelectorAll('g > *')].indexOf(img) === 0,
      corners,
      outside: { x: Math.round(box.left - 4), y: Math.round(box.top + box.height / 2) },
    };
  });
}

// The open alert's text starts with `text`; the user presses `button` in the page.
async function answerAlert(wb, text, button) {
  const open = await wb.api.waitFor((s) => s.alerts.open && s.alerts.open.text.startsWith(text) && s.alerts.open,
    30000, 'alert ' + JSON.stringify(text));
  await wb.page.waitForFunction((t) => !document.getElementById('alert').hidden &&
    document.getElementById('alert-text').textContent === t, open.text, { timeout: 15000 });
  assert.equal(await wb.page.locator('#alert-title').textContent(), 'Czyszczenie duplikatow');
  await wb.page.locator(`#alert-buttons button:text-is("${button}")`).click();
}

// A click on an outline selects it alone; a click beside every element
// clears. The cleanup from the menu asks in the workbench's alert and, with
// the site placed once, finds nothing to delete.
async function selectAndClean(wb, palette) {
  await wb.api.closeBox(palette.id);
  await wb.page.locator(`.palette[data-palette-id="${palette.id}"]`).waitFor({ state: 'hidden', timeout: 15000 });
  const where = await planPoints(wb.page);
  await wb.page.mouse.click(where.corners[0].x, where.corners[0].y);
  assert.equal((await wb.api.waitFor((s) => s.selection.length > 0, 15000, 'selection')).selection.length, 1);
  await wb.page.locator('#plan-svg .selected').first().waitFor({ timeout: 15000 });
  await wb.page.mouse.click(where.outside.x, where.outside.y);
  await wb.api.waitFor((s) => s.selection.length === 0, 15000, 'selection cleared');
  await wb.chooseMenu(CLEANUP);
  await answerAlert(wb, 'Usuwa zduplikowane POLILINIE i TEKSTY', 'Uruchom');
  await answerAlert(wb, 'Nie znaleziono zduplikowanych polilinii ani tekstow.', 'OK');
  await wb.page.locator('#alert').waitFor({ state: 'hidden', timeout: 15000 });
}

runChecked(() => startDemoWorkbench('kl_import_wb_'), async (wb) => {
  const { palette, frame, page } = await wb.openMapPalette();

  // The project lies at the demo site; one step out shows all of it.
  await page.waitForFunction(() => hosts !== null);  // the add-on's init has centred the map
  const zoom = await page.evaluate(() => map.getZoom());
  await frame.locator('.leaflet-control-zoom-out').click();
  await page.waitForFunction((z) => map.getZoom() === z - 1, zoom);
  for (const box of await frame.locator('#layers2d input[type=checkbox], #layers3d input[type=checkbox]').all())
    if (await box.isVisible()) await box.setChecked(false);
  for (const key of ['dzialki', 'budynki', 'gesut', 'rastr']) await frame.locator('#layer_' + key).setChecked(true);

  await frame.locator('#fetchBtn').click();
  await frame.locator('#placeBtn:not([disabled])').waitFor({ timeout: 120000 });
  const status = await frame.locator('#status').textContent();
  assert.ok(status.startsWith('Pobrano'), status);
  const preview = await frame.locator('.leaflet-overlay-pane path').count();
  assert.ok(preview >= PARCELS + BUILDINGS + UTILITIES, 'preview shapes on the map: ' + preview);

  await frame.locator('#placeBtn').click();
  await frame.locator('#status:text-matches("^Dodano do projektu")').waitFor({ timeout: 60000 });
  const placed = countByLayer(await wb.api.model());
  assert.deepEqual(placed, {
    'GIS_DZIALKI polyline': PARCELS,
    'GIS_DZIALKI text': PARCELS,
    'GIS_BUDYNKI hatch': BUILDINGS,
    'GIS_GESUT polyline': UTILITIES,
    'GIS_RASTRY picture': 1,
  });
  assert.ok((await planPoints(wb.page)).pictureFirst, 'the orthophoto is drawn beneath every vector');

  await selectAndClean(wb, palette);
  // The cleanup closed the palette; the cloud ground is fetched from a new one.
  const again = await wb.openMapPalette();
  const ground = await cloudGround(wb, again.frame, again.page);
  return 'ok   import in the workbench, selection, cleanup; terrain and contours from the cloud, ' + ground;
});
