'use strict';
// The point-cloud page in a real headless browser, against a stand-in for the
// add-on's script object and the local geoportal's orthophoto.
const assert = require('assert/strict');
const h = require('./lib/pages');

const S = h.suite();
const { text, hasClass, isHidden, disabled } = h;
const open = (options) => S.open('cloud.html', options);
// Status line, its error mark, progress and cancel hidden, download disabled.
const ui = (page) => Promise.all([text(page, '#status'), hasClass(page, '#status', 'error'), isHidden(page, '#progress'),
  isHidden(page, '#cancelBtn'), disabled(page, '#downloadBtn')]);
const bar = (page) => page.$eval('#progressBar', (e) => e.style.width);
const count = async (page, type) => (await h.posted(page)).filter((m) => m.type === type).length;
const bounds = (page) => page.evaluate(() => {
  const b = map.getBounds();
  return [b.getWest(), b.getSouth(), b.getEast(), b.getNorth()];
});

async function setSlider(page, value) {
  await page.$eval('#detail', (e, v) => {
    e.value = String(v);
    e.dispatchEvent(new Event('input', { bubbles: true }));
  }, value);
}

const cases = [
  ['start: ping, getInit, a first estimate; no download before an estimate', async () => {
    const o = await open();
    await h.waitPosted(o.page, 'frameEstimate');
    const first = (await h.posted(o.page)).slice(0, 3);
    assert.deepEqual(first.map((m) => m.type), ['ping', 'getInit', 'frameEstimate']);
    assert.deepEqual(first[2], { type: 'frameEstimate', bboxWgs84: await bounds(o.page), detail: 'standard' });
    assert.ok(await disabled(o.page, '#downloadBtn') && await isHidden(o.page, '#cancelBtn'));
    await h.push(o.page, { type: 'error', msg: 'Brak obslugi wiadomosci: frameEstimate' });
    assert.equal(await disabled(o.page, '#downloadBtn'), true, 'no estimate yet, no download');
    await h.push(o.page, { type: 'pong', build: 'Sep 16 2026 23:36:03' });
    assert.equal(await text(o.page, '#connection'), 'Połączono z ArchiCAD ✓');
    await h.push(o.page, { type: 'init', hosts: S.srv.hosts, lat: 50.0614, lon: 19.9366 });
    assert.deepEqual(await o.page.evaluate(() => [map.getCenter().lat, map.getCenter().lng, map.getZoom()]),
      [50.0614, 19.9366, 16]);
    await h.push(o.page, { type: 'init', lat: '51', lon: 17, zoom: 12 });
    assert.equal(await o.page.evaluate(() => map.getZoom()), 16, 'text coordinates are ignored');
    await o.page.waitForFunction(() => document.querySelectorAll('.leaflet-tile-loaded').length > 0);
    assert.ok((await S.srv.requested('/wss/service/PZGIK/ORTO/WMS/StandardResolution')).length > 0);
  }],

  ['the slider sends one estimate 400 ms after the last change, with its detail', async () => {
    const o = await open({ clock: true });
    await h.waitPosted(o.page, 'frameEstimate');
    await o.page.clock.runFor(1000);
    const n = await count(o.page, 'frameEstimate');
    await setSlider(o.page, 0);
    await o.page.clock.runFor(150);
    await setSlider(o.page, 2);
    await o.page.clock.runFor(399);
    assert.equal(await count(o.page, 'frameEstimate'), n, 'nothing before 400 ms of quiet');
    await o.page.clock.runFor(1);
    assert.equal(await count(o.page, 'frameEstimate'), n + 1);
    const last = (await h.posted(o.page)).pop();
    assert.equal(last.detail, 'full');
    await setSlider(o.page, 0);
    await o.page.clock.runFor(400);
    assert.equal((await h.posted(o.page)).pop().detail, 'lekki');
    await o.page.evaluate(() => map.panBy([200, 0], { animate: false }));
    await o.page.clock.runFor(400);
    const moved = (await h.posted(o.page)).pop();
    assert.deepEqual(moved, { type: 'frameEstimate', bboxWgs84: await bounds(o.page), detail: 'lekki' });
  }],

  ['estimate line: millions, thousands, points, density, over the limit', async () => {
    const o = await open();
    await h.push(o.page, { type: 'estimateDone', points: 12345678, sizeMB: 235.6, density: 18.5, overLimit: false });
    assert.deepEqual([await text(o.page, '#estimate'), await disabled(o.page, '#downloadBtn'), await hasClass(o.page, '#estimate', 'warning')],
      ['~12,3 mln pkt · ~236 MB · 18,5 pkt/m²', false, false]);
    for (const [estimate, line] of [
      [{ points: 45999, sizeMB: 0.4, overLimit: false }, '~45 tys. pkt · ~0 MB'],
      [{ points: 999, sizeMB: 0.01 }, '~999 pkt · ~0 MB'],
      [{ points: 250000000, sizeMB: 4800, density: 40, overLimit: true },
        '~250,0 mln pkt · ~4800 MB · 40 pkt/m² — przekroczono limit, zmniejsz kadr lub jakość']]) {
      await h.push(o.page, { type: 'estimateDone', ...estimate });
      assert.equal(await text(o.page, '#estimate'), line);
    }
    assert.ok(await hasClass(o.page, '#estimate', 'warning') && await disabled(o.page, '#downloadBtn'));
  }],

  ['download: message, cancel, progress, errors during and after, done', async () => {
    const o = await open();
    await h.push(o.page, { type: 'estimateDone', points: 2000000, sizeMB: 40, overLimit: false });
    await setSlider(o.page, 2);
    // A download the add-on refuses ends at once: no "downloadDone" follows.
    await o.page.click('#downloadBtn');
    await h.push(o.page, { type: 'error', msg: 'Nieprawidlowy bbox' });
    assert.deepEqual(await ui(o.page), ['Nieprawidlowy bbox', true, true, true, false]);
    await o.page.click('#downloadBtn');
    const msg = await h.waitPosted(o.page, 'download');
    assert.deepEqual(msg, { type: 'download', bboxWgs84: await bounds(o.page), detail: 'full' });
    assert.deepEqual([...await ui(o.page), await bar(o.page), await text(o.page, '#cancelBtn')],
      ['Pobieram chmurę punktów…', false, false, false, true, '0%', 'Anuluj']);
    await h.push(o.page, { type: 'progress', label: 'Kafle LiDAR 2 / 5', pct: 40, cancellable: true });
    assert.deepEqual([await text(o.page, '#status'), await bar(o.page)], ['Kafle LiDAR 2 / 5 — 40%', '40%']);
    await h.push(o.page, { type: 'progress', label: 'Kafle LiDAR 1 / 3', pct: 100 / 6, cancellable: true });
    assert.equal(await text(o.page, '#status'), 'Kafle LiDAR 1 / 3 — 17%');
    await h.push(o.page, { type: 'progress' });
    assert.equal(await text(o.page, '#status'), 'Pobieranie…');

    // A background estimate error while downloading changes the text only.
    await h.push(o.page, { type: 'estimateDone', points: 2000000, sizeMB: 40, overLimit: false });
    assert.equal(await disabled(o.page, '#downloadBtn'), true, 'no second download while one runs');
    await h.push(o.page, { type: 'error', msg: 'Indeks LiDAR nie odpowiada' });
    assert.deepEqual(await ui(o.page), ['Indeks LiDAR nie odpowiada', true, false, false, true]);

    await o.page.click('#cancelBtn');
    await h.waitPosted(o.page, 'cancel');
    assert.deepEqual([await text(o.page, '#cancelBtn'), await disabled(o.page, '#cancelBtn')], ['Anulowanie…', true]);
    await h.push(o.page, { type: 'cancelled' });
    assert.ok(o.record.consoleWarnings.some((w) => w.startsWith('Nieznana wiadomosc z C++:')));

    await h.push(o.page, { type: 'downloadDone', ok: false });
    assert.deepEqual([...await ui(o.page), await text(o.page, '#cancelBtn')],
      ['Nie udało się pobrać chmury', true, true, true, false, 'Anuluj']);

    await o.page.click('#downloadBtn');
    await h.push(o.page, { type: 'downloadDone', ok: true, msg: 'Zapisano chmura.e57 (12,3 mln pkt)' });
    assert.deepEqual((await ui(o.page)).slice(0, 2), ['Zapisano chmura.e57 (12,3 mln pkt)', false]);
    await o.page.click('#downloadBtn');
    await h.push(o.page, { type: 'estimateDone', points: 9e8, sizeMB: 9000, overLimit: true });
    await h.push(o.page, { type: 'downloadDone', ok: true });
    assert.equal(await text(o.page, '#status'), 'Pobrano chmurę punktów');
    assert.equal(await disabled(o.page, '#downloadBtn'), true, 'the button follows the last limit');

    for (const m of [{ type: 'estimateDone', points: 9e5, sizeMB: 9, overLimit: false },
      { type: 'progress', label: 'Szacowanie', pct: 10 }, { type: 'error' }]) await h.push(o.page, m);
    const [status, , progressHidden, , downloadDisabled] = await ui(o.page);
    assert.deepEqual([status, progressHidden, downloadDisabled], ['Błąd', true, false]);
  }],

  ['set origin sends the map centre; texts stay text', async () => {
    const o = await open();
    await o.page.click('#originBtn');
    const m = await h.waitPosted(o.page, 'setOrigin');
    assert.deepEqual([m.lat, m.lon], await o.page.evaluate(() => [map.getCenter().lat, map.getCenter().lng]));
    await h.push(o.page, { type: 'downloadDone', ok: false, msg: '<img src=x onerror="window.__pwned=1">' });
    assert.deepEqual([await o.page.evaluate(() => document.querySelectorAll('img[src="x"]').length), await text(o.page, '#status')],
      [0, '<img src=x onerror="window.__pwned=1">']);
  }]
];

h.main(cases, S);
