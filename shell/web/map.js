'use strict';

// ---- fixed tables -----------------------------------------------------------
// Sending order of the layer keys; hidden ones stay in the page but are never ticked.
var LAYERS = [
  { key: 'dzialki', label: 'Działki + numery', group: '2d', on: true },
  { key: 'budynki', label: 'Budynki', group: '2d', on: true },
  { key: 'mpzp', label: 'MPZP (plany miejscowe)', group: '2d' },
  { key: 'pog', label: 'POG (plan ogólny)', group: '2d' },
  { key: 'gesut', label: 'GESUT (sieci uzbrojenia)', group: '2d' },
  { key: 'bdot500', label: 'BDOT500 (mapa zasadnicza)', group: '2d' },
  { key: 'teren', label: 'Teren (NMT)', group: '3d' },
  { key: 'terenchmura', label: 'Teren z chmury (LiDAR)', group: '3d' },
  { key: 'wodachmura', label: 'Woda / morze z chmury (LiDAR)', group: '3d', hidden: true },
  { key: 'poziomicechmura', label: 'Poziomice 3D z chmury (LiDAR)', group: '3d' },
  { key: 'rastr', label: 'Ortofotomapa', group: '2d' },
  { key: 'budynki3d', label: 'Budynki 3D (LOD1)', group: '3d' },
  { key: 'budynkilod2', label: 'Budynki 3D — dachy (LOD2)', group: '3d' },
  { key: 'budynkindsm', label: 'Budynki (nMPT)', group: '3d' },
  { key: 'budynkirekon', label: 'Rekonstrukcja LOD2 (chmura)', group: '3d', hidden: true },
  { key: 'mosty', label: 'Mosty (OSM)', group: '3d', hidden: true },
  { key: 'drogi', label: 'Drogi (OSM)', group: '3d', hidden: true },
  { key: 'poziomice2d', label: 'Poziomice 2D', group: '2d' },
  { key: 'poziomice3d', label: 'Poziomice 3D', group: '3d' }
];

var TYPE_LABELS = {
  dzialki: 'działki', budynki: 'budynki', mpzp: 'MPZP', pog: 'POG', gesut: 'GESUT', bdot500: 'BDOT500',
  rastry: 'orto', budynki3d: 'budynki 3D (LOD1)', budynkilod2: 'budynki 3D — dachy (LOD2)',
  dachychmura: 'dachy z chmury (LiDAR)', budynkindsm: 'budynki (nMPT)',
  budynkirekon: 'rekonstrukcja LOD2 (chmura)', mosty: 'mosty (OSM)', drogi: 'drogi (OSM)',
  poziomice2d: 'poziomice 2D', poziomice3d: 'poziomice 3D', teren: 'teren (NMT)',
  terenchmura: 'teren z chmury (LiDAR)', poziomicechmura3d: 'poziomice 3D z chmury',
  'woda z chmury (Siatka)': 'woda/morze z chmury'
};

var DATA_TYPES = [
  ['dzialki', 'Działki (linie + numery)'], ['budynki', 'Budynki (wypełnienia)'],
  ['mpzp', 'MPZP (strefy + symbole)'], ['pog', 'Plan ogólny (strefy + symbole)'],
  ['gesut', 'GESUT (sieci)'], ['bdot500', 'BDOT500 (mapa zasadnicza)'], ['teren', 'Teren (Siatka NMT)'],
  ['rastry', 'Rastry (obrazy)'], ['budynki3d', 'Budynki 3D (LOD1 - bryły)'],
  ['budynkilod2', 'Budynki 3D (LOD2 - dachy)'], ['budynkindsm', 'Budynki (nMPT)'],
  ['budynkirekon', 'Rekonstrukcja LOD2 (chmura)'], ['mosty', 'Mosty (OSM)'], ['drogi', 'Drogi (OSM)'],
  ['poziomice2d', 'Poziomice 2D (rysunek + rzędne)'], ['poziomice3d', 'Poziomice 3D (Siatka z warstwic)'],
  ['terenchmura', 'Teren z chmury (LiDAR)'], ['wodachmura', 'Woda / morze z chmury (LiDAR)'],
  ['poziomicechmura3d', 'Poziomice 3D z chmury (LiDAR)']
];

var NEW_LAYER_VALUE = '\u0000new';
var PANEL_KEY = 'gis_panel_collapsed';

// Paths are fixed here; the hosts come from the add-on with "init".
var SERVICES = {
  orto: '/wss/service/PZGIK/ORTO/WMS/StandardResolution',
  egib: '/cgi-bin/KrajowaIntegracjaEwidencjiGruntow',
  prg: '/wss/service/PZGIK/PRG/WMS/AdministrativeBoundaries',
  mpzp: '/wss/ext/KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego',
  pog: '/wss/ext/PlanyOgolneGmin',
  ofm: '/styles/liberty'
};

function el(id) { return document.getElementById(id); }

// ---- status line, bar, steps, chips ------------------------------------------
function setStatus(text, isError) {
  var s = el('status');
  s.textContent = text;
  s.classList.toggle('error', !!isError);
}

function barAt(pct) {
  el('progress').hidden = false;
  el('progressBar').style.width = Math.max(0, Math.min(100, pct)) + '%';
}

function barOff() {
  el('progress').hidden = true;
  el('progressBar').style.width = '0';
  var c = el('cancelBtn');
  c.hidden = true;
  c.disabled = false;
  c.textContent = 'Anuluj';
}

function setStep(id, state) {
  var s = el(id);
  s.classList.remove('idle', 'active', 'done');
  s.classList.add(state);
}

function chipLabel(key) {
  var suffix = ' (rastr)';
  if (key.length > suffix.length && key.slice(-suffix.length) === suffix) {
    var base = key.slice(0, -suffix.length);
    return (TYPE_LABELS.hasOwnProperty(base) ? TYPE_LABELS[base] : base) + suffix;
  }
  return TYPE_LABELS.hasOwnProperty(key) ? TYPE_LABELS[key] : key;
}

function showChips(counts, placed) {
  var box = el('chips');
  box.textContent = '';
  Object.keys(counts || {}).forEach(function (key) {
    var chip = document.createElement('span');
    chip.className = placed ? 'chip placed' : 'chip';
    chip.dataset.key = key;
    chip.textContent = counts[key] + ' × ' + chipLabel(key) + (placed ? ' ✓' : '');
    box.appendChild(chip);
  });
}

function markChipsPlaced() {
  Array.prototype.forEach.call(el('chips').children, function (chip) {
    if (!chip.classList.contains('placed')) {
      chip.classList.add('placed');
      chip.textContent += ' ✓';
    }
  });
}

function isObject(v) { return v !== null && typeof v === 'object' && !Array.isArray(v); }

// ---- layer checkboxes -------------------------------------------------------------
function layerBox(key) { return el('layer_' + key); }

function buildLayerList() {
  LAYERS.forEach(function (layer) {
    var label = document.createElement('label');
    var box = document.createElement('input');
    box.type = 'checkbox';
    box.id = 'layer_' + layer.key;
    box.value = layer.key;
    box.checked = !!layer.on;
    label.appendChild(box);
    label.appendChild(document.createTextNode(' ' + layer.label));
    if (layer.hidden) {
      label.hidden = true;
      box.checked = false;
    }
    el(layer.group === '2d' ? 'layers2d' : 'layers3d').appendChild(label);
  });
}

function tickedKeys() {
  return LAYERS.filter(function (layer) { return layerBox(layer.key).checked; })
    .map(function (layer) { return layer.key; });
}

// ---- what the add-on holds --------------------------------------------------------------
// The page mirrors the controller: the counts of the result it keeps (null:
// none) and the request of this page still running ('fetch', 'place' or
// null). A refused request leaves the kept result as it was, so the view
// goes back to it.
var held = { counts: null, running: null, fetchAccepted: false, placedCounts: null };

function showHeld() {
  var anything = held.counts !== null;
  showChips(held.counts || {}, false);
  el('placeBtn').disabled = !anything || held.running !== null;
  el('fetchBtn').disabled = held.running === 'fetch';
  setStep('step1', anything ? 'done' : 'idle');
  setStep('step2', anything ? 'active' : 'idle');
}

// ---- actions -------------------------------------------------------------------------
function onFetch() {
  if (held.running !== null) return;
  var keys = tickedKeys();
  if (keys.length === 0) {
    setStatus('Zaznacz co najmniej jedną warstwę do pobrania.', true);
    return;
  }
  held.running = 'fetch';
  held.fetchAccepted = false;
  el('fetchBtn').disabled = true;
  el('placeBtn').disabled = true;
  setStep('step1', 'active');
  setStep('step2', 'idle');
  showChips({}, false);
  barAt(2);
  setStatus('Pobieram warstwy…', false);
  var b = map.getBounds();
  var krok = parseFloat(el('terenChmuraKrok').value);
  GISBridge.send('fetch', {
    bboxWgs84: [b.getWest(), b.getSouth(), b.getEast(), b.getNorth()],
    layers: keys,
    rasterScale: parseInt(el('rasterScale').value, 10),
    terrainStep: parseInt(el('terrainStep').value, 10),
    terenChmuraKrok: isNaN(krok) ? 1.0 : krok,
    poziomiceCiecie: parseFloat(el('poziomiceCiecie').value),
    poziomiceWygladz: el('poziomiceWygladz').checked
  });
}

function onPlace() {
  if (held.running !== null || held.counts === null) return;
  held.running = 'place';
  el('placeBtn').disabled = true;
  setStep('step2', 'active');
  setStatus('Dodaję do projektu…', false);
  GISBridge.send('place');
}

function onCancel() {
  GISBridge.send('cancel');
  var c = el('cancelBtn');
  c.disabled = true;
  c.textContent = 'Anulowanie…';
}

function onSetOrigin() {
  var c = map.getCenter();
  GISBridge.send('setOrigin', { lat: c.lat, lon: c.lng });
}

function applyPanelState(collapsed) {
  document.body.classList.toggle('panelCollapsed', collapsed);
}

function readPanelState() {
  try { return window.localStorage.getItem(PANEL_KEY) === '1'; } catch (e) { return false; }
}

function onPanelToggle() {
  var collapsed = !document.body.classList.contains('panelCollapsed');
  applyPanelState(collapsed);
  try { window.localStorage.setItem(PANEL_KEY, collapsed ? '1' : '0'); } catch (e) { /* storage off */ }
  setTimeout(function () { map.invalidateSize(); }, 60);
}

// ---- replies from the add-on ------------------------------------------------------------
var H = GISBridge.handlers;

H.pong = function (msg) {
  setStatus('Połączono z ArchiCAD ✓', false);
  el('versionTag').textContent = msg.wersja !== undefined ? 'v' + msg.wersja : 'build ' + msg.build;
};

H.noop = function () {};

H.init = function (msg) {
  if (isObject(msg.hosts) && hosts === null) {
    hosts = msg.hosts;
    buildServiceLayers();
    applyBasemap();
    applyOverlays();
  }
  if (typeof msg.lat === 'number' && typeof msg.lon === 'number') {
    centreOn(msg.lat, msg.lon, typeof msg.zoom === 'number' ? msg.zoom : 16);
  }
  if (typeof msg.notice === 'string' && msg.notice !== '') setStatus(msg.notice, true);
};

H.settingsSaved = function () {
  setStatus('Ustawienia zapisane', false);
};

H.progress = function (msg) {
  if (held.running === 'fetch') held.fetchAccepted = true;
  var label = typeof msg.label === 'string' && msg.label !== '' ? msg.label : 'Pobieranie';
  if (typeof msg.total === 'number' && msg.total > 0 && typeof msg.done === 'number') {
    var pct = Math.round(100 * msg.done / msg.total);
    setStatus(label + ' — ' + pct + '%', false);
    barAt(pct);
  } else {
    setStatus(typeof msg.label === 'string' && msg.label !== '' ? msg.label : 'Pobieranie…', false);
    barAt(5);
  }
  var c = el('cancelBtn');
  var cancellable = msg.cancellable === true;
  if (cancellable && c.hidden) {
    c.disabled = false;
    c.textContent = 'Anuluj';
  }
  c.hidden = !cancellable;
};

H.fetchDone = function (msg) {
  var counts = isObject(msg.counts) ? msg.counts : {};
  var anything = Object.keys(counts).length > 0;
  held.counts = anything ? counts : null;
  held.placedCounts = null;
  held.running = null;
  el('fetchBtn').disabled = false;
  el('placeBtn').disabled = !anything;
  showPreview(msg.geojson);
  barOff();
  showChips(counts, false);
  setStep('step1', anything ? 'done' : 'idle');
  setStep('step2', anything ? 'active' : 'idle');
  var warning = typeof msg.warning === 'string' && msg.warning !== '' ? msg.warning : null;
  if (warning !== null) setStatus(warning, !anything);
  else if (anything) setStatus('Pobrano — sprawdź podgląd i kliknij „2. Dodaj do projektu”', false);
  else setStatus('Nic nie pobrano dla tego obszaru', true);
};

H.placeDone = function (msg) {
  held.running = null;
  el('placeBtn').disabled = false;
  barOff();
  held.placedCounts = isObject(msg.counts) && Object.keys(msg.counts).length > 0 ? msg.counts : null;
  if (held.placedCounts) showChips(held.placedCounts, true);
  else markChipsPlaced();
  setStep('step2', 'done');
  var warned = typeof msg.warning === 'string' && msg.warning !== '';
  setStatus('Dodano do projektu' + (warned ? ' — uwagi w Raporcie (Okno → Palety → Raport)' : ''), false);
};

// The host undid or redid the placement: the chips and step 2 follow the project.
H.placedState = function (msg) {
  if (held.counts === null || held.running !== null) return;
  var placed = msg.placed === true;
  showChips(placed && held.placedCounts ? held.placedCounts : held.counts, placed);
  setStep('step2', placed ? 'done' : 'active');
};

H.originSet = function (msg) {
  var epsg = typeof msg.epsg === 'number' ? msg.epsg : 2180;
  var system = epsg >= 2176 && epsg <= 2179 ? 'PL-2000 strefa ' + (epsg - 2171) + ', EPSG:' + epsg : 'EPSG:' + epsg;
  var height = typeof msg.h === 'number' && msg.h !== 0 ? ', H=' + Math.round(msg.h) + ' m n.p.m. (PL-EVRF2007-NH)' : '';
  setStatus('Lokalizacja projektu ustawiona: E=' + Math.round(Number(msg.e)) + ' N=' + Math.round(Number(msg.n)) +
    ' (' + system + ')' + height, false);
};

H.error = function (msg) {
  // A place that failed, or a fetch refused before it began, ends the request;
  // errors of other messages leave a running fetch alone, its bar and its
  // Cancel included, since only fetchDone or cancelled end it.
  if (held.running === 'place' || (held.running === 'fetch' && !held.fetchAccepted)) {
    held.running = null;
    showHeld();
  }
  setStatus(typeof msg.msg === 'string' && msg.msg !== '' ? msg.msg : 'Błąd', true);
  if (held.running !== 'fetch') barOff();
};

H.cancelled = function () {
  held.running = null;
  showHeld();
  setStatus('Anulowano', false);
  barOff();
};

H.layerList = fillSettings;

// ---- wiring ---------------------------------------------------------------------------------
function wire() {
  buildLayerList();
  setupBasemapChoice();
  applyPanelState(readPanelState());

  el('panelToggle').addEventListener('click', onPanelToggle);
  var search = AddressSearch.wire({ input: el('address'), list: el('suggestions'), button: el('searchBtn'),
    send: GISBridge.send, centreOn: centreOn, setStatus: setStatus });
  H.addressResults = search.addressResults;
  H.addressSuggestions = search.addressSuggestions;
  el('basemap').addEventListener('change', applyBasemap);
  el('egib').addEventListener('change', applyOverlays);
  layerBox('mpzp').addEventListener('change', applyOverlays);
  layerBox('pog').addEventListener('change', applyOverlays);
  el('rasterScale').addEventListener('change', updateFrameInfo);
  el('fetchBtn').addEventListener('click', onFetch);
  el('placeBtn').addEventListener('click', onPlace);
  el('cancelBtn').addEventListener('click', onCancel);
  el('originBtn').addEventListener('click', onSetOrigin);
  el('layersBtn').addEventListener('click', function () { GISBridge.send('getLayers'); });
  el('settingsSave').addEventListener('click', onSettingsSave);
  el('settingsClose').addEventListener('click', function () { el('settingsDialog').hidden = true; });

  // External pages open in the system browser, never inside the palette.
  document.addEventListener('click', function (ev) {
    var link = ev.target && ev.target.closest ? ev.target.closest('a[href]') : null;
    if (!link) return;
    var href = link.getAttribute('href') || '';
    if (/^https?:\/\//i.test(href)) {
      ev.preventDefault();
      GISBridge.send('openExternal', { url: href });
    }
  }, true);

  map.on('moveend zoomend', updateFrameInfo);
  updateFrameInfo();
}

wire();
GISBridge.send('ping');
GISBridge.send('getInit');
