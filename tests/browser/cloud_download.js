'use strict';
// The point-cloud palette end to end: the workbench with the real add-on and
// the local geoportal on loopback. The user frames the demo site, sees the
// estimate, asks for a LAZ copy too, downloads, and gets an E57 file and a LAZ
// file that independent readers open.
const assert = require('assert/strict');
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');
const { startGeoportal } = require('./lib/geoportal');
const { privateHome, runChecked, startGuardedWorkbench } = require('./lib/workbench');

const SRC = process.env.KL_SOURCE_DIR || path.join(__dirname, '..', '..');
const DEMO_CENTRE = [51.2621, 15.5691];

runChecked(async () => {
  const geo = await startGeoportal();
  const wb = await startGuardedWorkbench({ home: privateHome('kl_cloud_wb_'),
    env: { KL_SERVICE_BASE: geo.base, KL_SERVICE_HOSTS: geo.base } });
  return { ...wb, close: () => wb.close().finally(geo.close) };
}, async (wb) => {
  const config = path.join(wb.home.env.XDG_CONFIG_HOME, 'Ordvik_Cloud');
  await wb.chooseMenu('Chmura punktow');
  const palette = await wb.api.waitFor((s) => s.palettes.find((p) => p.visible && p.title === 'Chmura punktow'),
    15000, 'cloud palette shown');
  const ui = wb.paletteFrame(palette.id);
  await ui.locator('#connection:text-is("Połączono z ArchiCAD ✓")').waitFor({ timeout: 30000 });

  // Frame the demo site closely; the estimate follows the view.
  const page = await wb.pageFrame('cloud.html');
  await page.evaluate(([lat, lon]) => { map.setView([lat, lon], 18); }, DEMO_CENTRE);
  await ui.locator('#estimate:not(.warning):has-text("pkt")').waitFor({ timeout: 30000 });
  const estimate = await ui.locator('#estimate').textContent();
  assert.match(estimate, /^~.* pkt · ~\d+ MB/);

  await ui.locator('#downloadBtn:not([disabled])').waitFor({ timeout: 30000 });
  // Progress lines can pass faster than a poll (cached tiles): record every one.
  await page.evaluate(() => {
    window.__statuses = [];
    const s = document.getElementById('status');
    new MutationObserver(() => window.__statuses.push(s.textContent)).observe(s, { childList: true, characterData: true, subtree: true });
  });
  await ui.locator('#lazCopy').check();
  await ui.locator('#downloadBtn').click();
  await ui.locator('#status:has-text("Chmura zapisana:")').waitFor({ timeout: 240000 });
  const finalStatus = await ui.locator('#status').textContent();
  assert.match(finalStatus, /Kopia LAZ: .*ostatnia_chmura\.laz\./, finalStatus);
  const statuses = await page.evaluate(() => window.__statuses);
  assert.ok(statuses.some((t) => t.startsWith('Kafel ')), 'tile progress shown: ' + statuses.slice(0, 5).join(' | '));

  const kept = path.join(config, 'ostatnia_chmura.e57');
  assert.ok(fs.existsSync(kept), 'the last cloud is kept in the roaming folder');
  const xyz = execFileSync('node', [path.join(SRC, 'tests', 'e57', 'web_e57_xyz.mjs'), kept],
    { maxBuffer: 1 << 30, env: { ...process.env, KL_SOURCE_DIR: SRC } }).toString();
  const lines = xyz.split('\n').filter((l) => l.length > 0);
  assert.ok(lines.length > 1000, 'web-e57 reads the points: ' + lines.length);
  const [x, y, z, r, g, b] = lines[0].split(' ').map(Number);
  assert.ok(Number.isFinite(x) && Number.isFinite(y) && z > 100 && z < 400, lines[0]);
  assert.ok([r, g, b].every((c) => c >= 0 && c <= 255), lines[0]);

  const keptLaz = path.join(config, 'ostatnia_chmura.laz');
  const lazInfo = JSON.parse(execFileSync('node', [path.join(SRC, 'tests', 'las', 'lazperf_decode.js'), keptLaz],
    { env: process.env }).toString());
  assert.equal(lazInfo.format, 2, 'LAZ point format');
  assert.equal(lazInfo.count, lines.length, 'laz-perf reads as many points from the LAZ as web-e57 from the E57');

  const state = await wb.api.state();
  assert.ok(state.report.some((l) => (l.text || '').includes('Chmura punktow gotowa')), 'alert shown');
  return `ok   cloud palette: estimate "${estimate}", ${lines.length} points read back by web-e57 and by laz-perf`;
});
