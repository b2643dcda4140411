'use strict';

// ---- page <-> add-on channel (same code in both pages) ---------------------
var GISBridge = {
  queue: [],
  timer: null,
  handlers: {},
  send: function (type, payload) {
    var msg = payload || {};
    msg.type = type;
    GISBridge.queue.push(msg);
    if (!GISBridge.flush() && GISBridge.timer === null) {
      GISBridge.timer = setInterval(function () {
        if (GISBridge.flush()) {
          clearInterval(GISBridge.timer);
          GISBridge.timer = null;
        }
      }, 100);
    }
  },
  flush: function () {
    var gis = window.GIS;
    if (!gis || typeof gis.postMessage !== 'function') return false;
    while (GISBridge.queue.length > 0) {
      gis.postMessage(JSON.stringify(GISBridge.queue.shift()));
    }
    return true;
  },
  receive: function (msg) {
    var handler = msg && GISBridge.handlers[msg.type];
    if (typeof handler === 'function') handler(msg);
    else console.warn('Nieznana wiadomosc z C++:', msg);
  }
};

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

// ---- map ----------------------------------------------------------------------
var map = L.map('map', { minZoom: 4, maxZoom: 21, zoomControl: true }).setView([52.2297, 21.0122], 16);
L.control.scale({ metric: true, imperial: false, maxWidth: 160, position: 'bottomleft' }).addTo(map);

var hosts = null;
var baseLayers = {};
var overlays = { egib: [], mpzp: null, pog: null };
var previewLayer = null;
var vectorBaseOffered = false;

function webglAvailable() {
  try {
    var canvas = document.createElement('canvas');
    return !!(window.WebGLRenderingContext && (canvas.getContext('webgl2') || canvas.getContext('webgl')));
  } catch (e) {
    return false;
  }
}

function setupBasemapChoice() {
  vectorBaseOffered = webglAvailable() && typeof window.maplibregl === 'object' &&
    typeof L.maplibreGL === 'function';
  var select = el('basemap');
  if (!vectorBaseOffered) {
    var opt = select.querySelector('option[value="ofm"]');
    if (opt) opt.remove();
  }
  select.value = vectorBaseOffered ? 'ofm' : 'orto';
}

function serviceUrl(name) {
  return hosts && typeof hosts[name] === 'string' ? hosts[name].replace(/\/+$/, '') + (SERVICES[name] || '') : null;
}

function wms(name, options) {
  var url = serviceUrl(name);
  return url ? L.tileLayer.wms(url, options) : null;
}

function buildServiceLayers() {
  baseLayers.orto = wms('orto', { layers: 'Raster', format: 'image/jpeg', maxZoom: 21, attribution: '© GUGiK' });
  var style = serviceUrl('ofm');
  if (vectorBaseOffered && style) {
    try {
      baseLayers.ofm = L.maplibreGL({ style: style });
    } catch (e) {
      baseLayers.ofm = null;
    }
  }
  overlays.egib = [
    wms('egib', { layers: 'dzialki,numery_dzialek,budynki,kontury', format: 'image/png', transparent: true,
      minZoom: 13, maxZoom: 21 }),
    wms('prg', { layers: 'A01_Granice_wojewodztw', format: 'image/png', transparent: true, version: '1.3.0',
      maxZoom: 12 })
  ].filter(Boolean);
  overlays.mpzp = wms('mpzp', { layers: 'granice', format: 'image/png', transparent: true, opacity: 0.5, maxZoom: 21 });
  overlays.pog = wms('pog', { layers: 'strefaPlanistyczna', format: 'image/png', transparent: true, opacity: 0.55,
    maxZoom: 21 });
}

function raiseOverlays() {
  overlays.egib.concat([overlays.mpzp, overlays.pog]).forEach(function (layer) {
    if (layer && map.hasLayer(layer) && layer.bringToFront) layer.bringToFront();
  });
}

function applyBasemap() {
  var select = el('basemap');
  var value = select.value;
  if (value !== 'ofm' && value !== 'orto' && value !== 'none') value = 'orto';
  if (value === 'ofm' && !vectorBaseOffered) value = 'orto';
  if (select.value !== value) select.value = value;
  Object.keys(baseLayers).forEach(function (k) {
    if (baseLayers[k] && map.hasLayer(baseLayers[k])) map.removeLayer(baseLayers[k]);
  });
  var chosen = baseLayers[value];
  if (chosen) {
    chosen.addTo(map);
    if (chosen.bringToBack) chosen.bringToBack();
  }
  raiseOverlays();
}

function toggle(layer, visible) {
  if (!layer) return;
  if (visible && !map.hasLayer(layer)) layer.addTo(map);
  if (!visible && map.hasLayer(layer)) map.removeLayer(layer);
}

function applyOverlays() {
  var egibOn = el('egib').checked;
  overlays.egib.forEach(function (layer) { toggle(layer, egibOn); });
  toggle(overlays.mpzp, layerBox('mpzp').checked);
  toggle(overlays.pog, layerBox('pog').checked);
  raiseOverlays();
}

function previewStyle(feature) {
  if (feature && feature.properties && feature.properties._kind === 'dzialka') {
    return { color: '#e67e22', weight: 1.5, fill: false };
  }
  return { color: '#2980b9', weight: 1, fillOpacity: 0.15 };
}

function showPreview(geojson) {
  if (previewLayer) {
    map.removeLayer(previewLayer);
    previewLayer = null;
  }
  var data = geojson;
  if (typeof data === 'string') {
    try { data = JSON.parse(data); } catch (e) { data = null; }
  }
  if (!isObject(data)) return;
  try {
    previewLayer = L.geoJSON(data, {
      style: previewStyle,
      pointToLayer: function (feature, latlng) {
        return L.circleMarker(latlng, Object.assign({ radius: 3 }, previewStyle(feature)));
      }
    }).addTo(map);
  } catch (e) {
    previewLayer = null;
  }
}

// ---- frame indicator --------------------------------------------------------------
var FrameInfo = L.Control.extend({
  options: { position: 'topright' },
  onAdd: function () {
    var div = L.DomUtil.create('div', 'frameInfo');
    div.id = 'frameInfo';
    return div;
  }
});
new FrameInfo().addTo(map);

function formatLength(m) {
  return m >= 1000 ? (m / 1000).toFixed(2) + ' km' : Math.round(m) + ' m';
}

function updateFrameInfo() {
  var b = map.getBounds();
  var c = map.getCenter();
  var w = map.distance(L.latLng(c.lat, b.getWest()), L.latLng(c.lat, b.getEast()));
  var h = map.distance(L.latLng(b.getSouth(), c.lng), L.latLng(b.getNorth(), c.lng));
  var scale = parseInt(el('rasterScale').value, 10) || 1000;
  var tileMetres = scale * 0.00028 * 4096;
  var tiles = Math.max(1, Math.ceil(w / tileMetres)) * Math.max(1, Math.ceil(h / tileMetres));
  el('frameInfo').textContent =
    'Kadr: ' + formatLength(w) + ' × ' + formatLength(h) + '  (1:' + scale + ' → ' + tiles + ' płyt.)';
}

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

// ---- settings dialog -----------------------------------------------------------------
function addOption(select, value, text) {
  var opt = document.createElement('option');
  opt.value = value;
  opt.textContent = text;
  select.appendChild(opt);
  return opt;
}

function onLayerChoice(select, key) {
  if (select.value !== NEW_LAYER_VALUE) {
    select.dataset.previous = select.value;
    return;
  }
  var answer = window.prompt('Nazwa nowej warstwy:', 'GIS_' + key.toUpperCase());
  var name = typeof answer === 'string' ? answer.trim() : '';
  if (name === '') {
    select.value = select.dataset.previous || '';
    if (select.value === NEW_LAYER_VALUE || select.selectedIndex < 0) select.selectedIndex = 0;
    return;
  }
  var existing = Array.prototype.find.call(select.options, function (o) { return o.value === name; });
  var opt = existing || addOption(select, name, name + ' (nowa)');
  if (!existing) select.insertBefore(opt, select.querySelector('option[value="' + NEW_LAYER_VALUE + '"]'));
  select.value = name;
  select.dataset.previous = name;
}

function fillSettings(msg) {
  var projectLayers = Array.isArray(msg.layers) ? msg.layers.filter(function (n) { return typeof n === 'string'; }) : [];
  var mapping = isObject(msg.mapping) ? msg.mapping : {};
  var table = el('settingsRows');
  table.textContent = '';
  DATA_TYPES.forEach(function (entry) {
    var key = entry[0];
    var row = table.insertRow();
    row.insertCell().textContent = entry[1];
    var select = document.createElement('select');
    select.dataset.key = key;
    projectLayers.forEach(function (name) { addOption(select, name, name); });
    var mapped = typeof mapping[key] === 'string' ? mapping[key] : '';
    if (mapped !== '' && projectLayers.indexOf(mapped) < 0) addOption(select, mapped, mapped + ' (nowa)');
    addOption(select, NEW_LAYER_VALUE, '➕ nowa warstwa…');
    if (mapped !== '') select.value = mapped;
    select.dataset.previous = select.value;
    select.addEventListener('change', function () { onLayerChoice(select, key); });
    row.insertCell().appendChild(select);
  });
  el('settingsDialog').hidden = false;
}

function onSettingsSave() {
  var mapping = {};
  Array.prototype.forEach.call(el('settingsRows').querySelectorAll('select'), function (select) {
    if (select.value !== NEW_LAYER_VALUE) mapping[select.dataset.key] = select.value;
  });
  GISBridge.send('settingsChanged', { mapping: mapping });
  el('settingsDialog').hidden = true;
  // Saved only once the add-on says so; a refusal arrives as an error.
  setStatus('Zapisywanie ustawień…', false);
}

function centreOn(lat, lon, zoom) {
  map.setView([lat, lon], zoom);
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
  // errors of other messages leave a running fetch alone.
  if (held.running === 'place' || (held.running === 'fetch' && !held.fetchAccepted)) {
    held.running = null;
    showHeld();
  }
  setStatus(typeof msg.msg === 'string' && msg.msg !== '' ? msg.msg : 'Błąd', true);
  barOff();
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
