'use strict';
// The import map page in a real headless browser, against a stand-in for the
// add-on's script object and the local geoportal for every map service.
const assert = require('assert/strict');
const h = require('./lib/pages');

const SENDING_ORDER = ['dzialki', 'budynki', 'mpzp', 'pog', 'gesut', 'bdot500', 'teren', 'terenchmura', 'wodachmura', 'poziomicechmura',
  'rastr', 'budynki3d', 'budynkilod2', 'budynkindsm', 'budynkirekon', 'mosty', 'drogi', 'poziomice2d', 'poziomice3d'];
const HIDDEN = ['budynkirekon', 'mosty', 'drogi', 'wodachmura'];

const S = h.suite();
const { text, hasClass, isHidden, disabled } = h;
const barWidth = (page) => page.$eval('#progressBar', (e) => e.style.width);
const chips = (page) => page.$$eval('#chips .chip', (els) => els.map((e) => e.textContent));
const view = (page) => page.evaluate(() => [map.getCenter().lat, map.getCenter().lng, map.getZoom()]);
const postedOf = async (page, type) => (await h.posted(page)).filter((m) => m.type === type);
// Pushes each message and checks the status line it leaves.
async function statusAfter(page, rows) {
  for (const [message, status] of rows) {
    await h.push(page, message);
    assert.equal(await text(page, '#status'), status, JSON.stringify(message));
  }
}
const open = (options) => S.open('map.html', options);

async function openConnected(options) {
  const o = await open(options);
  await h.push(o.page, { type: 'init', hosts: S.srv.hosts });
  return o;
}

const feature = (properties, type, coordinates) => ({ type: 'Feature', properties, geometry: { type, coordinates } });
// A request's path and query.
const servedPath = (response) => { const u = new URL(response.url()); return u.pathname + u.search; };

const cases = [
  // (Tiles from the add-on's hosts: the base map and overlay cases here, and the real add-on in import_workbench.js.)
  ['start sends ping then getInit; pong shows the version', async () => {
    const o = await open();
    await h.waitPosted(o.page, 'getInit');
    assert.deepEqual((await h.posted(o.page)).map((m) => m.type).slice(0, 2), ['ping', 'getInit']);
    assert.deepEqual([await text(o.page, '#versionTag'), await text(o.page, '#status')],
      ['build —', 'Gotowy — zaznacz warstwy i kliknij „1. Pobierz elementy”']);
    assert.equal(await disabled(o.page, '#placeBtn'), true);
    await statusAfter(o.page, [[{ type: 'pong', wersja: '1.8.0', build: 'Sep 16 2026 23:36:03' }, 'Połączono z ArchiCAD ✓']]);
    assert.equal(await text(o.page, '#versionTag'), 'v1.8.0');
    await h.push(o.page, { type: 'pong', build: 'Sep 16 2026 23:36:03' });
    assert.equal(await text(o.page, '#versionTag'), 'build Sep 16 2026 23:36:03');
  }],

  ['messages queued before the script object exists are delivered once it appears', async () => {
    const o = await open({ lateBridge: true, clock: true });
    await o.page.clock.runFor(350);
    assert.equal(await o.page.evaluate(() => GISBridge.queue.length), 2, 'three retries found no script object');
    await o.page.evaluate(h.FAKE_GIS);
    await o.page.clock.runFor(100);
    assert.deepEqual((await h.posted(o.page)).map((m) => m.type), ['ping', 'getInit']);
  }],

  ['the layer boxes: defaults, hidden kinds, none ticked refused; default options are sent as numbers', async () => {
    const o = await open();
    const boxes = await o.page.$$eval('#panel input[id^=layer_]', (els) =>
      els.map((e) => ({ key: e.value, checked: e.checked, shown: e.offsetParent !== null })));
    assert.deepEqual(boxes.map((b) => b.key).sort(), SENDING_ORDER.slice().sort());
    for (const b of boxes) {
      assert.equal(b.checked, b.key === 'dzialki' || b.key === 'budynki', b.key);
      assert.equal(b.shown, !HIDDEN.includes(b.key), b.key);
    }
    // "1. Pobierz" with nothing ticked shows the error and sends nothing.
    for (const key of ['dzialki', 'budynki']) await o.page.uncheck('#layer_' + key);
    await o.page.click('#fetchBtn');
    assert.equal(await text(o.page, '#status'), 'Zaznacz co najmniej jedną warstwę do pobrania.');
    assert.ok(await hasClass(o.page, '#status', 'error'));
    assert.deepEqual(await postedOf(o.page, 'fetch'), []);
    for (const key of ['dzialki', 'budynki']) await o.page.check('#layer_' + key);
    await o.page.click('#fetchBtn');
    const msg = await h.waitPosted(o.page, 'fetch');
    assert.deepEqual([msg.rasterScale, msg.terrainStep, msg.terenChmuraKrok, msg.poziomiceCiecie, msg.poziomiceWygladz],
      [1000, 1, 1, 1, false]);
    assert.deepEqual(msg.layers, ['dzialki', 'budynki']);
  }],

  ['a ticked set sends "fetch" with the frame, keys in sending order and options; then its progress', async () => {
    const o = await open();
    for (const key of ['poziomice3d', 'teren', 'mpzp', 'rastr']) await o.page.check('#layer_' + key);
    for (const [sel, v] of [['#rasterScale', '2000'], ['#terrainStep', '5'], ['#terenChmuraKrok', '0.5'], ['#poziomiceCiecie', '0.25']])
      await o.page.selectOption(sel, v);
    await o.page.check('#poziomiceWygladz');
    await o.page.click('#fetchBtn');
    const msg = await h.waitPosted(o.page, 'fetch');
    const bounds = await o.page.evaluate(() => map.getBounds().toBBoxString().split(',').map(Number));
    assert.deepEqual(msg, {
      type: 'fetch', bboxWgs84: bounds, layers: ['dzialki', 'budynki', 'mpzp', 'teren', 'rastr', 'poziomice3d'],
      rasterScale: 2000, terrainStep: 5, terenChmuraKrok: 0.5, poziomiceCiecie: 0.25, poziomiceWygladz: true
    });
    assert.ok(bounds[0] < 21.0122 && bounds[2] > 21.0122 && bounds[1] < 52.2297 && bounds[3] > 52.2297);
    assert.deepEqual([await text(o.page, '#status'), await barWidth(o.page), await isHidden(o.page, '#progress')],
      ['Pobieram warstwy…', '2%', false]);
    assert.ok(await hasClass(o.page, '#step1', 'active') && await hasClass(o.page, '#step2', 'idle'));
    assert.equal(await disabled(o.page, '#placeBtn'), true);
    // progress: percentage, unknown total, cancel button only while cancellable
    await statusAfter(o.page, [[{ type: 'progress', done: 1, total: 3, label: 'Modele 3D' }, 'Modele 3D — 33%']]);
    assert.deepEqual([await barWidth(o.page), await isHidden(o.page, '#cancelBtn')], ['33%', true]);
    await statusAfter(o.page, [[{ type: 'progress', done: 2, total: 4 }, 'Pobieranie — 50%'],
      [{ type: 'progress', label: 'Poziomice: liczenie warstwic', cancellable: true }, 'Poziomice: liczenie warstwic']]);
    assert.deepEqual([await barWidth(o.page), await isHidden(o.page, '#cancelBtn')], ['5%', false]);
    await o.page.click('#cancelBtn');
    await h.waitPosted(o.page, 'cancel');
    assert.deepEqual([await text(o.page, '#cancelBtn'), await disabled(o.page, '#cancelBtn')], ['Anulowanie…', true]);
    await statusAfter(o.page, [[{ type: 'progress', total: 0 }, 'Pobieranie…']]);
    assert.equal(await isHidden(o.page, '#cancelBtn'), true);
    await statusAfter(o.page, [[{ type: 'cancelled' }, 'Anulowano']]);
    assert.equal(await isHidden(o.page, '#progress'), true);
  }],

  ['fetchDone with data: chips, preview, place enabled, steps; then one with nothing', async () => {
    const o = await openConnected();
    await o.page.click('#fetchBtn');
    const geojson = { type: 'FeatureCollection', features: [feature({}, 'Point', [21.012, 52.2297]),
      feature({ _kind: 'dzialka' }, 'Polygon', [[[21.011, 52.229], [21.013, 52.229], [21.013, 52.230], [21.011, 52.229]]]),
      feature({ _kind: 'budynek' }, 'Polygon', [[[21.0115, 52.2292], [21.012, 52.2292], [21.012, 52.2295], [21.0115, 52.2292]]])] };
    await h.push(o.page, { type: 'fetchDone', counts: { dzialki: 12, 'rastry (rastr)': 1, 'teren (Siatka)': 1,
      'woda z chmury (Siatka)': 2, budynkilod2: 3 }, geojson: JSON.stringify(geojson) });
    assert.deepEqual(await chips(o.page),
      ['12 × działki', '1 × orto (rastr)', '1 × teren (Siatka)', '2 × woda/morze z chmury',
        '3 × budynki 3D — dachy (LOD2)']);
    assert.deepEqual([await disabled(o.page, '#placeBtn'), await isHidden(o.page, '#progress'), await text(o.page, '#status')],
      [false, true, 'Pobrano — sprawdź podgląd i kliknij „2. Dodaj do projektu”']);
    assert.ok(await hasClass(o.page, '#step1', 'done') && await hasClass(o.page, '#step2', 'active'));
    const strokes = await o.page.$$eval('.leaflet-overlay-pane path', (els) =>
      els.map((e) => [e.getAttribute('stroke'), e.getAttribute('fill')]));
    assert.deepEqual(strokes.sort(), [['#2980b9', '#2980b9'], ['#2980b9', '#2980b9'], ['#e67e22', 'none']].sort());

    await o.page.click('#placeBtn');
    await h.waitPosted(o.page, 'place');
    assert.ok(await text(o.page, '#status') === 'Dodaję do projektu…' && await hasClass(o.page, '#step2', 'active'));
    await statusAfter(o.page, [[{ type: 'placeDone', counts: { dzialki: 12 }, warning: 'Pominieto 1 wadliwych geometrii lub bryl.' },
      'Dodano do projektu — uwagi w Raporcie (Okno → Palety → Raport)']]);
    assert.ok(await hasClass(o.page, '#step2', 'done'));
    await statusAfter(o.page, [[{ type: 'placeDone' }, 'Dodano do projektu']]);
    assert.deepEqual(await chips(o.page), ['12 × działki ✓']);
    // A later fetch with nothing: idle steps, error status, preview cleared.
    await statusAfter(o.page, [[{ type: 'fetchDone', counts: {} }, 'Nic nie pobrano dla tego obszaru']]);
    for (const [sel, c] of [['#status', 'error'], ['#step1', 'idle'], ['#step2', 'idle']]) assert.ok(await hasClass(o.page, sel, c), sel);
    assert.equal(await disabled(o.page, '#placeBtn'), true);
    assert.equal(await o.page.$$eval('.leaflet-overlay-pane path', (e) => e.length), 0);
    assert.deepEqual(await chips(o.page), []);
    // A warning is the status line; an error only when nothing came.
    for (const [counts, warning, error] of [[{}, 'Nic nie pobrano dla tego obszaru.', true], [{ budynki: 2 }, 'Brak uslugi GESUT.', false]]) {
      await statusAfter(o.page, [[{ type: 'fetchDone', counts, warning }, warning]]);
      assert.equal(await hasClass(o.page, '#status', 'error'), error, warning);
    }
  }],

  ['the page follows what the add-on holds: one fetch at a time, refusals, failed places', async () => {
    const o = await openConnected();
    await o.page.click('#fetchBtn');
    assert.equal(await disabled(o.page, '#fetchBtn'), true, 'no second fetch while one runs');
    for (const m of [{ type: 'progress', done: 1, total: 2, cancellable: true }, { type: 'error', msg: 'Brak uslugi' }]) await h.push(o.page, m);
    assert.deepEqual([await disabled(o.page, '#fetchBtn'), await isHidden(o.page, '#progress'), await isHidden(o.page, '#cancelBtn')],
      [true, false, false], 'an error of another message leaves the running fetch, its bar and its Cancel');
    await h.push(o.page, { type: 'fetchDone', counts: { dzialki: 3 } });
    assert.equal(await disabled(o.page, '#fetchBtn'), false);

    const expectKept = async (why) => assert.deepEqual([await chips(o.page), await disabled(o.page, '#placeBtn'),
      await disabled(o.page, '#fetchBtn'), await hasClass(o.page, '#step1', 'done'), await hasClass(o.page, '#step2', 'active')],
    [['3 × działki'], false, false, true, true], why);
    await o.page.click('#fetchBtn');
    await h.push(o.page, { type: 'error', msg: 'Kadr za duzy' });
    await expectKept('a refused fetch keeps the stored result');
    await o.page.click('#fetchBtn');
    await h.push(o.page, { type: 'cancelled' });
    await expectKept('a cancelled fetch keeps the stored result');

    await o.page.click('#placeBtn');
    assert.equal(await disabled(o.page, '#placeBtn'), true);
    await h.push(o.page, { type: 'placeDone', counts: { dzialki: 3 } });
    assert.deepEqual(await chips(o.page), ['3 × działki ✓']);
    await h.push(o.page, { type: 'placedState', placed: false });
    await expectKept('the host undid the placement');
    await h.push(o.page, { type: 'placedState', placed: true });
    assert.deepEqual(await chips(o.page), ['3 × działki ✓'], 'the host redid it');
    assert.ok(await hasClass(o.page, '#step2', 'done'));
    await o.page.click('#placeBtn');
    await h.push(o.page, { type: 'error', msg: 'Import nieudany (transakcja wycofana)' });
    await expectKept('a failed place shows nothing as placed');
  }],

  ['originSet, error, init, addressResults, noop and unknown types', async () => {
    const o = await open();
    await statusAfter(o.page, [
      [{ type: 'originSet', e: 7501234.6, n: 5787654.4, h: 84.6, epsg: 2178 },
        'Lokalizacja projektu ustawiona: E=7501235 N=5787654 (PL-2000 strefa 7, EPSG:2178), H=85 m n.p.m. (PL-EVRF2007-NH)'],
      [{ type: 'originSet', e: 637000.2, n: 487000.7, h: 0 }, 'Lokalizacja projektu ustawiona: E=637000 N=487001 (EPSG:2180)'],
      [{ type: 'progress', done: 1, total: 2 }, 'Pobieranie — 50%'],
      [{ type: 'error', msg: 'Nieprawidlowy bbox' }, 'Nieprawidlowy bbox']]);
    assert.ok(await hasClass(o.page, '#status', 'error') && await isHidden(o.page, '#progress'));
    await statusAfter(o.page, [[{ type: 'error' }, 'Błąd']]);
    await h.push(o.page, { type: 'init', lat: 50.0614, lon: 19.9366, zoom: 17 });
    assert.deepEqual(await view(o.page), [50.0614, 19.9366, 17]);
    for (const m of [{ type: 'init', lat: 51.1, lon: 17.03 }, { type: 'init', zoom: 5 }]) await h.push(o.page, m);
    assert.deepEqual(await view(o.page), [51.1, 17.03, 16], 'a zoom alone moves nothing');
    await statusAfter(o.page, [[{ type: 'init', notice: 'Plik ustawien x jest nieczytelny' }, 'Plik ustawien x jest nieczytelny']]);
    assert.ok(await hasClass(o.page, '#status', 'error'));
    await h.push(o.page, { type: 'addressResults', lat: 52.4064, lon: 16.9252, label: 'Poznań, Stary Rynek' });
    assert.deepEqual([...await view(o.page), await text(o.page, '#status')], [52.4064, 16.9252, 17, 'Poznań, Stary Rynek']);
    await statusAfter(o.page, [[{ type: 'addressResults' }, 'Nie znaleziono adresu']]);
    assert.ok(await hasClass(o.page, '#status', 'error'));
    for (const type of ['noop', 'estimateDone']) await h.push(o.page, { type });
    assert.equal(o.record.consoleWarnings.filter((w) => w.startsWith('Nieznana wiadomosc z C++:')).length, 1);
  }],

  ['texts from the add-on are shown as text, never run as markup', async () => {
    const o = await open();
    const evil = '<img src=x onerror="window.__pwned=1"><b>x</b>';
    await h.push(o.page, { type: 'error', msg: evil });
    await h.push(o.page, { type: 'fetchDone', counts: { [evil]: 1 }, warning: evil });
    await h.push(o.page, { type: 'layerList', layers: [evil], mapping: { dzialki: evil + '2' } });
    await h.push(o.page, { type: 'addressResults', lat: 52.1, lon: 21.1, label: evil });
    await o.page.fill('#address', 'Wars');
    await h.push(o.page, { type: 'addressSuggestions', query: 'Wars', items: [{ label: evil, lat: 52, lon: 21 }] });
    assert.deepEqual(await o.page.evaluate(() => [document.querySelectorAll('img[src="x"], b').length, window.__pwned]), [0, undefined]);
    assert.deepEqual([await text(o.page, '#status'), await text(o.page, '#chips .chip'), await text(o.page, '#suggestions li')],
      [evil, '1 × ' + evil, evil]);
  }],

  ['address suggestions: debounce, cache, stale answers, keys, mouse', async () => {
    const o = await open({ clock: true });
    const asks = async () => (await postedOf(o.page, 'searchAddressSuggest')).length;
    const type = async (query, ms) => { await o.page.fill('#address', query); await o.page.clock.runFor(ms); };
    await type('Wa', 400);
    assert.equal(await asks(), 0, 'too short to ask');
    await type('Warszawa', 249);
    assert.equal(await asks(), 0, 'nothing before 250 ms of quiet');
    await o.page.clock.runFor(1);
    assert.equal((await h.waitPosted(o.page, 'searchAddressSuggest')).query, 'Warszawa');
    await o.page.fill('#address', 'Warszawa Mar');
    await h.push(o.page, { type: 'addressSuggestions', query: 'Warszawa', items: [{ label: 'Warszawa', lat: 52.23, lon: 21.01 }] });
    assert.equal(await isHidden(o.page, '#suggestions'), true, 'a late answer for an older query is not shown');
    await h.push(o.page, { type: 'addressSuggestions', query: 'Warszawa Mar', items: [
      { label: 'Marszałkowska, Warszawa', lat: 52.2290, lon: 21.0130 },
      { label: 'Marymoncka, Warszawa', lat: 52.2700, lon: 20.9700 }] });
    assert.equal(await isHidden(o.page, '#suggestions'), false);
    const asked = await asks();
    await o.page.fill('#address', 'Warszawa');
    assert.deepEqual(await o.page.$$eval('#suggestions li', (e) => e.map((x) => x.textContent)), ['Warszawa'],
      'the cached answer shows at once');
    await o.page.clock.runFor(350);
    assert.equal(await asks(), asked);
    await type('Warszawa Xy', 250);
    await h.push(o.page, { type: 'addressSuggestions', query: 'Warszawa Xy', items: [] });
    await type('Warszawa X', 0);
    await type('Warszawa Xy', 250);
    assert.equal(await asks(), asked + 2, 'an empty answer (perhaps from a late geocoder) is asked for again');
    await o.page.fill('#address', 'Warszawa Mar');
    for (let i = 0; i < 3; i++) await o.page.press('#address', 'ArrowDown');
    assert.equal(await text(o.page, '#suggestions li.active'), 'Marszałkowska, Warszawa', 'highlight wraps around');
    await o.page.press('#address', 'ArrowUp');
    await o.page.press('#address', 'Enter');
    assert.deepEqual([...await view(o.page), await o.page.inputValue('#address'), await text(o.page, '#status')],
      [52.27, 20.97, 17, 'Marymoncka, Warszawa', 'Marymoncka, Warszawa']);
    assert.deepEqual(await postedOf(o.page, 'searchAddress'), []);
    await o.page.fill('#address', 'Warszawa Mar');
    await o.page.press('#address', 'Escape');
    assert.equal(await isHidden(o.page, '#suggestions'), true);
    await o.page.fill('#address', 'Warszawa');
    await o.page.click('#suggestions li');
    assert.deepEqual(await view(o.page), [52.23, 21.01, 17]);
    // Texts that name members of a plain object are cached like any other.
    for (const query of ['hasOwnProperty', '__proto__']) {
      await type(query, 250);
      await h.push(o.page, { type: 'addressSuggestions', query, items: [{ label: query + ' 1', lat: 52, lon: 21 }] });
    }
    const beforeOthers = await asks();
    await type('hasOwnProperty', 0);
    assert.equal(await text(o.page, '#suggestions li'), 'hasOwnProperty 1');
    await type('Gdańsk', 250);
    assert.equal(await asks(), beforeOthers + 1);
    await o.page.fill('#address', '   ');
    await o.page.click('#searchBtn');
    assert.deepEqual(await postedOf(o.page, 'searchAddress'), []);
    await o.page.fill('#address', '  Kraków, Rynek  ');
    await o.page.press('#address', 'Enter');
    assert.equal((await h.waitPosted(o.page, 'searchAddress')).query, 'Kraków, Rynek');
    assert.equal(await text(o.page, '#status'), 'Szukam…');
    // Searches overlap: only the latest one's answer moves the map.
    await o.page.fill('#address', 'Gdańsk');
    await o.page.press('#address', 'Enter');
    await h.push(o.page, { type: 'addressResults', query: 'Kraków, Rynek', lat: 50.0614, lon: 19.9366, label: 'Kraków' });
    await h.push(o.page, { type: 'addressResults', query: 'Gdańsk', lat: 54.352, lon: 18.6466, label: 'Gdańsk' });
    await h.push(o.page, { type: 'addressResults', query: 'Kraków, Rynek', lat: 50.0614, lon: 19.9366, label: 'Kraków' });
    assert.deepEqual([...await view(o.page), await text(o.page, '#status')], [54.352, 18.6466, 17, 'Gdańsk']);
  }],

  ['the frame indicator: whole metres below 1 km, else km with two decimals', async () => {
    const o = await open();
    assert.match(await text(o.page, '#frameInfo'), /^Kadr: \S+ k?m × \S+ k?m {2}\(1:1000 → \d+ płyt\.\)$/);
    for (const [metres, shown] of [[999.4, '999 m'], [999.6, '1,00 km'], [1000, '1,00 km'], [12345.678, '12,35 km']])
      assert.equal(await o.page.evaluate((m) => formatLength(m), metres), shown, String(metres));
  }],

  ['settings dialog: rows, preselection, new layer, cancelled prompt, save', async () => {
    const o = await open();
    await o.page.click('#layersBtn');
    await h.waitPosted(o.page, 'getLayers');
    assert.equal(await isHidden(o.page, '#settingsDialog'), true, 'shown with the add-on\'s layer list');
    await h.push(o.page, { type: 'layerList', layers: ['Warstwa 0', 'GIS_DZIALKI', 'Moje'],
      mapping: { dzialki: 'GIS_DZIALKI', budynki: 'GIS_BUDYNKI', mpzp: 'Moje' } });
    assert.equal(await isHidden(o.page, '#settingsDialog'), false);
    const rows = await o.page.$$eval('#settingsRows tr', (trs) => trs.map((tr) => tr.cells[0].textContent));
    assert.deepEqual([rows.length, rows[0], rows[18]], [19, 'Działki (linie + numery)', 'Poziomice 3D z chmury (LiDAR)']);
    const sel = (key) => '#settingsRows select[data-key="' + key + '"]';
    const value = (key) => o.page.$eval(sel(key), (s) => s.value);
    assert.deepEqual([await value('dzialki'), await value('budynki')], ['GIS_DZIALKI', 'GIS_BUDYNKI']);
    assert.deepEqual(await o.page.$$eval(sel('budynki') + ' option', (os) => os.map((x) => x.textContent)),
      ['Warstwa 0', 'GIS_DZIALKI', 'Moje', 'GIS_BUDYNKI (nowa)', '➕ nowa warstwa…']);

    // Cancelling the prompt goes back to the layer chosen before, not to the first one.
    let prompted = null;
    o.page.once('dialog', (d) => { prompted = [d.message(), d.defaultValue()]; d.dismiss(); });
    await o.page.selectOption(sel('mpzp'), { label: '➕ nowa warstwa…' });
    assert.deepEqual(prompted, ['Nazwa nowej warstwy:', 'GIS_MPZP']);
    assert.equal(await value('mpzp'), 'Moje');

    o.page.once('dialog', (d) => d.accept('Teren nowy'));
    await o.page.selectOption(sel('teren'), { label: '➕ nowa warstwa…' });
    assert.equal(await o.page.$eval(sel('teren'), (s) => s.options[s.selectedIndex].textContent), 'Teren nowy (nowa)');

    await o.page.click('#settingsSave');
    const saved = await h.waitPosted(o.page, 'settingsChanged');
    const m = saved.mapping;
    assert.deepEqual([Object.keys(m).length, m.dzialki, m.budynki, m.mpzp, m.teren, m.gesut],
      [19, 'GIS_DZIALKI', 'GIS_BUDYNKI', 'Moje', 'Teren nowy', 'Warstwa 0']);
    assert.equal(await isHidden(o.page, '#settingsDialog'), true);
    assert.equal(await text(o.page, '#status'), 'Zapisywanie ustawień…', 'saved only when the add-on says so');
    await statusAfter(o.page, [[{ type: 'error', msg: 'Nie zapisano ustawien: x' }, 'Nie zapisano ustawien: x'],
      [{ type: 'settingsSaved' }, 'Ustawienia zapisane']]);

    await h.push(o.page, { type: 'layerList', layers: ['A'], mapping: {} });  // reopened, closed without saving
    await o.page.click('#settingsClose');
    assert.deepEqual([await isHidden(o.page, '#settingsDialog'), (await postedOf(o.page, 'settingsChanged')).length], [true, 1]);
  }],

  // The browser runs WebGL on its software rasteriser; without it the vector base map is not offered.
  ['the vector base map: the default with WebGL, drawing its style; without WebGL not offered', async () => {
    for (const noWebGL of [false, true]) {
      const o = await open({ noWebGL });
      assert.deepEqual(await o.page.$$eval('#basemap option', (os) => os.map((x) => x.value)),
        noWebGL ? ['orto', 'none'] : ['ofm', 'orto', 'none']);
      assert.equal(await o.page.inputValue('#basemap'), noWebGL ? 'orto' : 'ofm');
      const style = noWebGL || o.page.waitForResponse((r) => servedPath(r) === '/styles/liberty');
      await h.push(o.page, { type: 'init', hosts: S.srv.hosts });
      await o.page.waitForFunction((n) => n ? document.querySelector('.leaflet-tile-pane img[src*="StandardResolution"]')
        : document.querySelector('.leaflet-gl-layer, canvas.maplibregl-canvas'), noWebGL);
      await style;
      await o.page.selectOption('#basemap', 'none');
      assert.equal(await o.page.$$eval('canvas.maplibregl-canvas', (c) => c.length), 0);
    }
  }],

  ['overlays follow their boxes; links go to the system browser', async () => {
    const o = await openConnected({ noWebGL: true });
    const overlayCount = () => o.page.$$eval('.leaflet-tile-pane .leaflet-layer', (e) => e.length), base = await overlayCount();
    await o.page.uncheck('#egib');
    assert.equal(await overlayCount(), base - 2);
    const zones = o.page.waitForResponse((r) => servedPath(r).startsWith('/wss/ext/PlanyOgolneGmin?') &&
      /layers=strefaPlanistyczna/.test(servedPath(r)));
    for (const key of ['mpzp', 'pog']) await o.page.check('#layer_' + key);
    assert.equal(await overlayCount(), base);
    await zones;
    await o.page.click('.leaflet-control-attribution a[href^="https://"]');
    assert.match((await h.waitPosted(o.page, 'openExternal')).url, /^https:\/\//);
    assert.match(o.page.url(), /\/web\/map\.html$/);
    await o.page.click('#originBtn');
    const origin = await h.waitPosted(o.page, 'setOrigin');
    assert.deepEqual([origin.lat, origin.lon], (await view(o.page)).slice(0, 2));
  }]
];

h.main(cases, S);
