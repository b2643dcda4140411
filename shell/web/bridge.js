'use strict';

// ---- page <-> add-on channel, shared by the map and cloud pages ------------
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
