'use strict';

// ---- the map page's address field ----------------------------------------------------------
// Typing asks for suggestions once the field has been quiet for 250 ms and holds
// at least 3 characters; several may be under way, and an answer is shown only
// while the field still holds the text it was asked for. Enter or the button
// asks for the one best match. Choosing a place centres the map on it.
var AddressSearch = (function () {
  var PAUSE_MS = 250;
  var MIN_CHARS = 3;
  var PLACE_ZOOM = 17;

  // ui: input, list, button (elements); send(type, payload), centreOn(lat, lon, zoom),
  // setStatus(text, isError). Returns the handlers of the add-on's two answers.
  function wire(ui) {
    // Answers by query; an empty list (nothing found, or a geocoder that failed
    // or was late) is not kept, so the same text is asked again. A Map, since
    // the user may type any text, "hasOwnProperty" and "__proto__" included.
    var cache = new Map();
    var items = [];
    var active = -1;
    // The text of the search whose answer may still move the map; a newer
    // search or a chosen suggestion takes its place.
    var searched = null;
    var timer = null;
    var hideTimer = null;

    function typed() { return ui.input.value.trim(); }

    function hide() {
      ui.list.hidden = true;
      items = [];
      active = -1;
    }

    function show(list) {
      ui.list.textContent = '';
      items = Array.isArray(list) ? list.filter(function (item) {
        return item !== null && typeof item === 'object' && !Array.isArray(item);
      }) : [];
      active = -1;
      items.forEach(function (item, i) {
        var li = document.createElement('li');
        li.textContent = typeof item.label === 'string' ? item.label : String(item.label);
        li.addEventListener('mousedown', function (ev) {
          ev.preventDefault();
          take(i);
        });
        ui.list.appendChild(li);
      });
      ui.list.hidden = items.length === 0;
    }

    function highlight(index) {
      active = index;
      Array.prototype.forEach.call(ui.list.children, function (li, i) { li.classList.toggle('active', i === index); });
    }

    function take(i) {
      var item = items[i];
      hide();
      if (!item) return;
      var lat = Number(item.lat);
      var lon = Number(item.lon);
      if (isFinite(lat) && isFinite(lon)) ui.centreOn(lat, lon, PLACE_ZOOM);
      var label = item.label === undefined ? '' : String(item.label);
      searched = null;
      ui.setStatus(label, false);
      ui.input.value = label;
    }

    function onInput() {
      var text = typed();
      clearTimeout(timer);
      if (text.length < MIN_CHARS) {
        hide();
        return;
      }
      if (cache.has(text)) {
        show(cache.get(text));
        return;
      }
      timer = setTimeout(function () { ui.send('searchAddressSuggest', { query: text }); }, PAUSE_MS);
    }

    function search() {
      var text = typed();
      if (text === '') return;
      hide();
      searched = text;
      ui.setStatus('Szukam…', false);
      ui.send('searchAddress', { query: text });
    }

    function onKey(ev) {
      var n = items.length;
      var open = !ui.list.hidden && n > 0;
      if (ev.key === 'ArrowDown' && open) {
        ev.preventDefault();
        highlight((active + 1) % n);
      } else if (ev.key === 'ArrowUp' && open) {
        ev.preventDefault();
        highlight(active <= 0 ? n - 1 : active - 1);
      } else if (ev.key === 'Escape') {
        hide();
      } else if (ev.key === 'Enter') {
        ev.preventDefault();
        if (open && active >= 0) take(active);
        else search();
      }
    }

    ui.button.addEventListener('click', search);
    ui.input.addEventListener('input', onInput);
    ui.input.addEventListener('keydown', onKey);
    ui.input.addEventListener('blur', function () {
      clearTimeout(hideTimer);
      hideTimer = setTimeout(hide, 150);
    });

    return {
      addressResults: function (msg) {
        if (typeof msg.query === 'string' && msg.query !== searched) return;
        if (typeof msg.lat === 'number' && typeof msg.lon === 'number') {
          ui.centreOn(msg.lat, msg.lon, PLACE_ZOOM);
          ui.setStatus(msg.label === undefined ? '' : String(msg.label), false);
        } else {
          ui.setStatus('Nie znaleziono adresu', true);
        }
      },
      addressSuggestions: function (msg) {
        if (typeof msg.query !== 'string') return;
        var list = Array.isArray(msg.items) ? msg.items : [];
        if (list.length > 0) cache.set(msg.query, list);
        if (msg.query === typed()) show(list);
      }
    };
  }

  return { wire: wire };
})();
