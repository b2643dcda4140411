'use strict';
// The demo's vector base-map style as the map page's MapLibre reads it: the
// style specification's own validator finds nothing wrong, and a page of
// another origin may fetch it.
const assert = require('assert/strict');
const path = require('path');
const { validateStyleMin } = require('@maplibre/maplibre-gl-style-spec');
const { startGeoportal } = require(path.join(__dirname, '..', 'browser', 'lib', 'workbench'));

async function main() {
  const geo = await startGeoportal();
  try {
    const res = await fetch(geo.base + '/styles/liberty', { headers: { Origin: 'http://127.0.0.1:1' } });
    assert.equal(res.status, 200);
    assert.equal(res.headers.get('access-control-allow-origin'), '*');
    const style = await res.json();
    assert.deepEqual(validateStyleMin(style).map((e) => e.message), []);
    console.log('style valid:', Object.keys(style.sources).join(', '));
  } finally {
    geo.close();
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
