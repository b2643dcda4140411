'use strict';
// Address search as a newcomer uses it: the workbench in demo mode, the map
// palette from the menu, "Bolesławiec, Rynek" typed into the address field,
// the suggestion picked, and the map moves to the square; the search button
// finds a house and says when nothing is found. No request leaves 127.0.0.1.
const assert = require('assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { startWorkbench } = require('./lib/workbench');

const SHOTS = process.env.KL_SCREENSHOT_DIR || os.tmpdir();
// The demo site of the local geoportal (west, south, east, north).
const SITE = { west: 15.56456, south: 51.26013, east: 15.57373, north: 51.26409 };
const COUNTY = ', Bolesławiec, powiat bolesławiecki';

function isLoopback(address) {
  try {
    const host = new URL(address).hostname;
    return host === '127.0.0.1' || host === 'localhost';
  } catch (e) {
    return !/^[a-z]+:\/\//i.test(address);  // data:, blob:, about:
  }
}

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

async function main() {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'kl_address_wb_'));
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
    const page = await wb.pageFrame('map.html');
    await awayFromTheSite(page);

    // Typed as a person types, key by key: one question after the pause.
    await frame.locator('#address').pressSequentially('Bolesławiec, Rynek', { delay: 20 });
    const first = frame.locator('#suggestions li').first();
    await first.waitFor({ timeout: 30000 });
    assert.deepEqual(await frame.locator('#suggestions li').allTextContents(),
      ['Rynek' + COUNTY, 'Ratusz, Rynek 41' + COUNTY]);
    await wb.page.screenshot({ path: path.join(SHOTS, 'kartolink_address_suggestions.png') });
    await first.click();
    const square = await mapAtSite(page);
    assert.equal(await frame.locator('#address').inputValue(), 'Rynek' + COUNTY);
    assert.equal(await frame.locator('#status').textContent(), 'Rynek' + COUNTY);
    await wb.page.screenshot({ path: path.join(SHOTS, 'kartolink_address_chosen.png') });

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

    const result = await wb.close();
    assert.equal(result.code, 0, result.stderr);
  } finally {
    await wb.close();
    fs.rmSync(home, { recursive: true, force: true });
  }
  assert.deepEqual(foreign, [], 'requests left loopback');
  console.log('ok   address search in the workbench: suggestion picked and the map on the square, a house found, a miss said; loopback only');
}

main().then(() => process.exit(0), (e) => { console.error(e); process.exit(1); });
