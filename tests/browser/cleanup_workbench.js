'use strict';
// The duplicate cleanup as an architect meets it: the same parcels imported
// twice in the workbench demo, a click on the plan selects one element and a
// click beside it clears the selection, the menu command asks, "Uruchom" in
// the workbench's alert deletes one copy of each, the alert says how many,
// and one undo brings them back.
const assert = require('assert/strict');
const { runChecked, startDemoWorkbench } = require('./lib/workbench');

const STEP = 'Usun duplikaty (polilinie + teksty)';

function counts(model) {
  const out = {};
  for (const e of model.elements) out[e.type] = (out[e.type] || 0) + 1;
  return out;
}

// The open alert's text starts with `text`; the user presses `button` in the page.
async function answerAlert(wb, text, button) {
  const open = await wb.api.waitFor((s) => s.alerts.open && s.alerts.open.text.startsWith(text) && s.alerts.open,
    30000, 'alert ' + JSON.stringify(text));
  await wb.page.waitForFunction((t) => !document.getElementById('alert').hidden &&
    document.getElementById('alert-text').textContent === t, open.text, { timeout: 15000 });
  assert.equal(await wb.page.locator('#alert-title').textContent(), 'Czyszczenie duplikatow');
  await wb.page.locator(`#alert-buttons button:text-is("${button}")`).click();
}

runChecked(() => startDemoWorkbench('kl_cleanup_wb_'), async (wb) => {
  const { palette, frame, page } = await wb.openMapPalette();
  await page.waitForFunction(() => hosts !== null);  // the add-on's init has centred the map
  for (const box of await frame.locator('#layers2d input[type=checkbox], #layers3d input[type=checkbox]').all())
    if (await box.isVisible()) await box.setChecked(false);
  await frame.locator('#layer_dzialki').setChecked(true);
  await frame.locator('#fetchBtn').click();
  await frame.locator('#placeBtn:not([disabled])').waitFor({ timeout: 120000 });
  const placed = [];
  for (const times of [1, 2]) {
    await frame.locator('#placeBtn:not([disabled])').click();
    await wb.api.waitFor((s) => s.undo.steps.length === times, 60000, `import ${times} placed`);
    await frame.locator('#placeBtn:not([disabled])').waitFor({ timeout: 60000 });
    placed.push(counts(await wb.api.model()));
  }
  // Each parcel is an outline with its number.
  const PARCELS = placed[0].polyline;
  assert.ok(PARCELS > 100, 'parcels of the demo site: ' + PARCELS);
  assert.deepEqual(placed, [{ polyline: PARCELS, text: PARCELS }, { polyline: 2 * PARCELS, text: 2 * PARCELS }]);
  await wb.api.closeBox(palette.id);
  await wb.api.waitFor((s) => !s.palettes.some((p) => p.visible), 15000, 'palette hidden');

  // A click on an outline selects it alone; a click beside every element clears.
  await wb.page.waitForFunction((n) => document.querySelectorAll('#plan-svg path.outline').length === n,
    2 * PARCELS, { timeout: 30000 });
  const spot = await wb.page.evaluate(() => {
    const p = document.querySelector('#plan-svg path.outline');
    const at = new DOMPoint(p.getPointAtLength(0).x, p.getPointAtLength(0).y).matrixTransform(p.getScreenCTM());
    const box = document.getElementById('plan-svg').getBoundingClientRect();
    return { x: at.x, y: at.y, guid: p.dataset.guid, empty: { x: box.left + 3, y: box.top + 3 } };
  });
  await wb.page.mouse.click(spot.x, spot.y);
  const chosen = await wb.api.waitFor((s) => s.selection.length > 0, 15000, 'selection');
  assert.equal(chosen.selection.length, 1);
  await wb.page.locator('#plan-svg .selected').first().waitFor({ timeout: 15000 });
  await wb.page.mouse.click(spot.empty.x, spot.empty.y);
  await wb.api.waitFor((s) => s.selection.length === 0, 15000, 'selection cleared');

  await wb.chooseMenu('Czyszczenie duplikatow (polilinie + teksty)');
  await answerAlert(wb, 'Usuwa zduplikowane POLILINIE i TEKSTY', 'Uruchom');
  await answerAlert(wb, `Usunieto duplikaty:\n- polilinie: ${PARCELS}\n- teksty: ${PARCELS}`, 'OK');
  await wb.page.locator('#alert').waitFor({ state: 'hidden', timeout: 15000 });
  assert.deepEqual(counts(await wb.api.model()), { polyline: PARCELS, text: PARCELS });
  const state = await wb.api.state();
  assert.deepEqual(state.undo.steps.slice(-1), [STEP]);
  assert.equal(state.undo.steps.length, 3, 'the cleanup is one undo step');

  // Nothing is left to clean; one undo brings every copy back.
  await wb.chooseMenu('Czyszczenie duplikatow (polilinie + teksty)');
  await answerAlert(wb, 'Usuwa zduplikowane', 'Uruchom');
  await answerAlert(wb, 'Nie znaleziono zduplikowanych polilinii ani tekstow.', 'OK');
  await wb.page.click('#undo');
  await wb.api.waitFor((s) => s.undo.steps.length === 2, 15000, 'undo');
  assert.deepEqual(counts(await wb.api.model()), { polyline: 2 * PARCELS, text: 2 * PARCELS });
  return 'ok   cleanup in the workbench: parcels imported twice, selection by click, the command from the menu asks and deletes one copy of each in one undo step';
});
