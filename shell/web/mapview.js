'use strict';

// The map of the map page: base maps, the services' overlays, the preview of
// a fetch and the frame indicator. The page's own script wires it up.

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

// The unit is chosen on the rounded length, so 999.6 m reads 1,00 km, not 1000 m;
// like every number of the page, with a decimal comma.
function formatLength(m) {
  var metres = Math.round(m);
  return metres >= 1000 ? (m / 1000).toFixed(2).replace('.', ',') + ' km' : metres + ' m';
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


function centreOn(lat, lon, zoom) {
  map.setView([lat, lon], zoom);
}
