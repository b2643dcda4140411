'use strict';
// Address search as a newcomer uses it: the workbench in demo mode, the map
// palette from the menu, "Bolesławiec, Rynek" typed into the address field,
// the suggestion picked, and the map moves to the square; the search button
// finds a house and says when nothing is found. No request leaves 127.0.0.1.
const assert = require('assert/strict');
const { runChecked, startDemoWorkbench } = require('./lib/workbench');

// The demo site of the local geoportal (west, south, east, north).
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

async function awayFromTheSite(page) {
  await page.evaluate(() => map.setView([52.2297, 21.0122], 10));
}

runChecked(() => startDemoWorkbench('kl_address_wb_'), async (wb) => {
  const { frame, page } = await wb.openMapPalette();
  await awayFromTheSite(page);

  // Typed key by key, as a person types.
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
  return 'ok   address search in the workbench: suggestion picked and the map on the square, a house found, a miss said; loopback only';
});
