'use strict';
// The import as a newcomer does it: the workbench in demo mode, the map
// palette from the menu, three layers and the orthophoto ticked, "1. Pobierz"
// with the preview on the map, "2. Dodaj do projektu", the site in the
// project on its layers with the orthophoto beneath the parcels in the plan,
// gone again after one undo and back after a redo, the page saying so each
// time. Then the address search: "Bolesławiec, Rynek" typed into the address
// field, the suggestion picked and the map on the square; the search button
// finds a house and says when nothing is found. No request leaves 127.0.0.1.
const assert = require('assert/strict');
const { runChecked, startDemoWorkbench } = require('./lib/workbench');

// The demo site of the local geoportal.
const PARCELS = 170, BUILDINGS = 166, UTILITIES = 169 + 101 + 31 + 31;
const SITE = { west: 15.56456, south: 51.26013, east: 15.57373, north: 51.26409 };
const COUNTY = ', Bolesławiec, powiat bolesławiecki';

// Resolves once the map shows the site at street zoom; the centre it then has.
async function mapAtSite(page) {
  await page.waitForFunction((s) => {
    const c = map.getCenter();
    return map.getZoom() === 17 && c.lat > s.south && c.lat < s.north && c.lng > s.west && c.lng < s.east;
  }, SITE, { timeout: 30000 });
  return page.evaluate(() => [map.getCenter().lat, map.getCenter().lng]);
}

const awayFromTheSite = (page) => page.evaluate(() => map.setView([52.2297, 21.0122], 10));

async function searchAddresses(frame, page) {
  // Typed key by key, as a person types.
  await awayFromTheSite(page);
  await frame.locator('#address').pressSequentially('Bolesławiec, Rynek', { delay: 20 });
  const first = frame.locator('#suggestions li').first();
  await first.waitFor({ timeout: 30000 });
  assert.deepEqual(await frame.locator('#suggestions li').allTextContents(),
    ['Rynek' + COUNTY, 'Ratusz, Rynek 41' + COUNTY]);
  await first.click();
  const square = await mapAtSite(page);
  assert.equal(await frame.locator('#address').inputValue(), 'Rynek' + COUNTY);
  assert.equal(await frame.locator('#status').textContent(), 'Rynek' + COUNTY);

  // The search button: the one best match, or a plain "not found".
  await awayFromTheSite(page);
  await frame.locator('#address').fill('Tadeusza Kościuszki 12');
  await frame.locator('#searchBtn').click();
  const house = await mapAtSite(page);
  assert.notDeepEqual(house, square, 'the house is not on the square');
  assert.match(await frame.locator('#status').textContent(), /^12, Tadeusza Kościuszki, Bolesławiec, /);
  await frame.locator('#address').fill('Marszałkowska 1');
  await frame.locator('#searchBtn').click();
  await frame.locator('#status.error:text-is("Nie znaleziono adresu")').waitFor({ timeout: 30000 });
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

// Screen points of the plan: inside the orthophoto away from every vector,
// on parcel corners, and in the margin outside the picture.
async function planPoints(page) {
  await page.waitForFunction(() => {
    const img = document.querySelector('#plan-svg image');
    return img && img.getBBox().width > 0;
  }, null, { timeout: 30000 });
  return page.evaluate(() => {
    const svg = document.getElementById('plan-svg');
    const img = svg.querySelector('image');
    const nodes = [...svg.querySelectorAll('g > *')];
    const toScreen = (node, x, y) => {
      const p = new DOMPoint(x, y).matrixTransform(node.getScreenCTM());
      return { x: Math.round(p.x), y: Math.round(p.y) };
    };
    const parcels = [...svg.querySelectorAll('path.outline')].slice(0, 40);
    const corners = parcels.map((p) => {
      const pt = p.getPointAtLength(0);
      return toScreen(p, pt.x, pt.y);
    });
    const box = img.getBoundingClientRect();
    return {
      pictureFirst: nodes.indexOf(img) === 0,
      corners,
      inside: [[0.02, 0.02], [0.98, 0.02], [0.02, 0.98], [0.98, 0.98], [0.5, 0.03]].map(([u, v]) =>
        ({ x: Math.round(box.left + u * box.width), y: Math.round(box.top + v * box.height) })),
      outside: { x: Math.round(box.left - 4), y: Math.round(box.top + box.height / 2) },
    };
  });
}

// Pixels of a screenshot, read back by the page's own image decoder.
async function pixelsAt(page, shot, points) {
  return page.evaluate(async ({ data, points }) => {
    const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const ctx = canvas.getContext('2d');
    ctx.drawImage(bitmap, 0, 0);
    return points.map((p) => [...ctx.getImageData(p.x, p.y, 1, 1).data.slice(0, 3)]);
  }, { data: shot.toString('base64'), points });
}

async function probePlan(page) {
  const where = await planPoints(page);
  assert.ok(where.pictureFirst, 'the orthophoto is drawn before every vector');
  // The palettes float over the plan; the probe looks at the plan alone.
  const hidePalettes = (hidden) => page.evaluate((h) => {
    document.getElementById('palettes').style.visibility = h ? 'hidden' : '';
  }, hidden);
  const white = ([r, g, b]) => r > 240 && g > 240 && b > 240;
  // The photo's ground is green or brown; the parcel outlines are blue.
  const ground = ([r, g, b]) => !white([r, g, b]) && g >= b;
  const blueish = ([r, g, b]) => b > r + 40;
  // The picture shows once the page has decoded its bytes: look until it does, or for 30 s.
  const deadline = Date.now() + 30000;
  let outside, inside, corners;
  do {
    await hidePalettes(true);
    const shot = await page.screenshot();
    await hidePalettes(false);
    const [first, ...rest] = await pixelsAt(page, shot, [where.outside, ...where.inside, ...where.corners]);
    [outside, inside, corners] = [first, rest.slice(0, where.inside.length), rest.slice(where.inside.length)];
  } while (inside.filter(ground).length < 4 && Date.now() < deadline);
  assert.ok(white(outside), 'plan background beside the picture: ' + outside);
  assert.ok(inside.filter(ground).length >= 4, 'orthophoto pixels: ' + JSON.stringify(inside));
  assert.ok(corners.filter(blueish).length >= corners.length * 0.8,
    'parcel corners drawn over the photo: ' + JSON.stringify(corners));
}

runChecked(() => startDemoWorkbench('kl_import_wb_'), async (wb) => {
  const { frame, page } = await wb.openMapPalette();

  // The project lies at the demo site; one step out shows all of it.
  await page.waitForFunction(() => hosts !== null);  // the add-on's init has centred the map
  const zoom = await page.evaluate(() => map.getZoom());
  await frame.locator('.leaflet-control-zoom-out').click();
  await page.waitForFunction((z) => map.getZoom() === z - 1, zoom);
  for (const box of await frame.locator('#layers2d input[type=checkbox], #layers3d input[type=checkbox]').all())
    if (await box.isVisible()) await box.setChecked(false);
  for (const key of ['dzialki', 'budynki', 'gesut', 'rastr']) await frame.locator('#layer_' + key).setChecked(true);

  await frame.locator('#fetchBtn').click();
  assert.equal(await frame.locator('#fetchBtn').isDisabled(), true, 'no second fetch while one runs');
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
  await probePlan(wb.page);
  const state = await wb.api.state();
  assert.ok(JSON.stringify(state).includes('KARTOLINK: wektory w lokalnych wsp.'), 'report line written');

  // The page follows the project through the host's undo and redo.
  const chips = () => frame.locator('#chips .chip').allTextContents();
  assert.ok((await chips()).every((c) => c.endsWith(' ✓')), 'placed chips: ' + await chips());
  assert.equal((await wb.api.undo()).done, true);
  assert.deepEqual((await wb.api.model()).elements, [], 'one undo step removes the whole import');
  await frame.locator('#step2.active').waitFor({ timeout: 30000 });
  assert.ok((await chips()).every((c) => !c.includes('✓')), 'chips after undo: ' + await chips());
  assert.equal(await frame.locator('#placeBtn').isDisabled(), false, 'the result can be placed again');
  assert.equal((await wb.api.redo()).done, true);
  await frame.locator('#step2.done').waitFor({ timeout: 30000 });
  assert.ok((await chips()).every((c) => c.endsWith(' ✓')), 'chips after redo: ' + await chips());

  await searchAddresses(frame, page);
  return 'ok   import in the workbench: fetch, preview, place on four layers with the orthophoto beneath the parcels, ' +
    'undo and redo followed by the page; address suggestion, house and miss; loopback only';
});
