'use strict';

var DETAILS = ['lekki', 'standard', 'full'];
var ORTO_PATH = '/wss/service/PZGIK/ORTO/WMS/StandardResolution';

// Until a first estimate arrives there is no limit to follow: the download stays off.
// A download counts as accepted once its first progress arrives; an error before
// that is the add-on refusing it, and no "downloadDone" will ever follow.
var state = { downloading: false, accepted: false, overLimit: true, estimateTimer: null, orto: null };

function el(id) { return document.getElementById(id); }

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
}

function resetCancel() {
  var c = el('cancelBtn');
  c.hidden = true;
  c.disabled = false;
  c.textContent = 'Anuluj';
}

function followLimit() {
  el('downloadBtn').disabled = state.downloading || state.overLimit;
}

var map = L.map('map', { minZoom: 4, maxZoom: 21 }).setView([52.2297, 21.0122], 16);

function currentDetail() {
  var v = Number(el('detail').value);
  return v === 0 || v === 1 || v === 2 ? DETAILS[v] : 'standard';
}

function bounds() {
  var b = map.getBounds();
  return [b.getWest(), b.getSouth(), b.getEast(), b.getNorth()];
}

function requestEstimate() {
  GISBridge.send('frameEstimate', { bboxWgs84: bounds(), detail: currentDetail() });
}

function scheduleEstimate() {
  clearTimeout(state.estimateTimer);
  state.estimateTimer = setTimeout(requestEstimate, 400);
}

function formatPoints(points) {
  if (points >= 1e6) return (points / 1e6).toFixed(1).replace('.', ',') + ' mln pkt';
  if (points >= 1e3) return Math.floor(points / 1e3) + ' tys. pkt';
  return points + ' pkt';
}

var H = GISBridge.handlers;

H.pong = function () {
  var c = el('connection');
  c.textContent = 'Połączono z ArchiCAD ✓';
  c.classList.add('ok');
};

H.init = function (msg) {
  if (msg.hosts !== null && typeof msg.hosts === 'object' && typeof msg.hosts.orto === 'string' && !state.orto) {
    state.orto = L.tileLayer.wms(msg.hosts.orto.replace(/\/+$/, '') + ORTO_PATH, {
      layers: 'Raster', format: 'image/jpeg', maxZoom: 21, attribution: '© GUGiK'
    }).addTo(map);
  }
  if (typeof msg.lat === 'number' && typeof msg.lon === 'number') {
    map.setView([msg.lat, msg.lon], typeof msg.zoom === 'number' ? msg.zoom : map.getZoom());
  }
};

H.estimateDone = function (msg) {
  var points = Number(msg.points) || 0;
  var text = '~' + formatPoints(points) + ' · ~' + Math.round(Number(msg.sizeMB) || 0) + ' MB';
  if (msg.density !== undefined && msg.density !== null) text += ' · ' + String(msg.density).replace('.', ',') + ' pkt/m²';
  state.overLimit = msg.overLimit === true;
  if (state.overLimit) text += ' — przekroczono limit, zmniejsz kadr lub jakość';
  var e = el('estimate');
  e.textContent = text;
  e.classList.toggle('warning', state.overLimit);
  followLimit();
};

H.progress = function (msg) {
  if (state.downloading) state.accepted = true;
  var label = typeof msg.label === 'string' && msg.label !== '' ? msg.label : 'Pobieranie';
  var hasPct = typeof msg.pct === 'number';
  // Tile downloads report fractions of a percent; the text shows whole ones.
  setStatus(label + (hasPct ? ' — ' + Math.round(msg.pct) + '%' : '…'), false);
  if (hasPct) barAt(msg.pct);
};

H.downloadDone = function (msg) {
  state.downloading = false;
  barOff();
  resetCancel();
  followLimit();
  var ok = msg.ok === true;
  var text = typeof msg.msg === 'string' && msg.msg !== '' ? msg.msg
    : (ok ? 'Pobrano chmurę punktów' : 'Nie udało się pobrać chmury');
  setStatus(text, !ok);
};

H.error = function (msg) {
  var text = typeof msg.msg === 'string' && msg.msg !== '' ? msg.msg : 'Błąd';
  if (state.downloading && !state.accepted) state.downloading = false;
  if (!state.downloading) {
    barOff();
    resetCancel();
    followLimit();
  }
  setStatus(text, true);
};

function onDownload() {
  state.downloading = true;
  state.accepted = false;
  var request = { bboxWgs84: bounds(), detail: currentDetail() };
  if (el('lazCopy').checked) request.laz = true;
  GISBridge.send('download', request);
  followLimit();
  var c = el('cancelBtn');
  c.hidden = false;
  c.disabled = false;
  c.textContent = 'Anuluj';
  barAt(0);
  setStatus('Pobieram chmurę punktów…', false);
}

function onCancel() {
  GISBridge.send('cancel');
  var c = el('cancelBtn');
  c.disabled = true;
  c.textContent = 'Anulowanie…';
}

el('downloadBtn').addEventListener('click', onDownload);
el('cancelBtn').addEventListener('click', onCancel);
el('originBtn').addEventListener('click', function () {
  var c = map.getCenter();
  GISBridge.send('setOrigin', { lat: c.lat, lon: c.lng });
});
el('detail').addEventListener('input', scheduleEstimate);
map.on('moveend', scheduleEstimate);
// This palette has no way to open the system browser; never navigate away from the page.
document.addEventListener('click', function (ev) {
  var link = ev.target && ev.target.closest ? ev.target.closest('a[href]') : null;
  if (link && /^https?:\/\//i.test(link.getAttribute('href') || '')) ev.preventDefault();
}, true);

GISBridge.send('ping');
GISBridge.send('getInit');
requestEstimate();
