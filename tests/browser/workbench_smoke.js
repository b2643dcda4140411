'use strict';
// The workbench page in a real browser with the small test add-on: menu,
// palette panel with its page talking to the add-on, close box, plan view,
// and a page of another origin kept away from the API.
const assert = require('assert/strict');
const { runChecked, startWorkbench, testAddonPath } = require('./lib/workbench');

runChecked(() => startWorkbench({ addon: testAddonPath() }), async (wb) => {
  const { page, api } = wb;

  // the menu of the add-on, flag notation stripped
  await page.click('#menus .menu-title:text-is("Ordvik")');
  await page.hover('#menus .has-submenu:has-text("Geodrop")');
  const items = await page.locator('#menus .menu-item .label').allTextContents();
  assert.deepEqual(items, ['Mapa importu GIS', 'Chmura punktow', 'Czyszczenie duplikatow (polilinie + teksty)', 'Otwórz stronę']);

  // item 1 opens the palette; its page posts "hello" and the add-on's answer comes back as a script
  await page.click('#menus .menu-item:has-text("Mapa importu GIS")');
  const panel = page.locator('.palette[data-palette-id="1"]');
  await panel.waitFor({ state: 'visible' });
  assert.equal(await panel.locator('.palette-title .title').textContent(), 'Geodrop');
  const frame = wb.paletteFrame(1);
  await frame.locator('#echo:text-is("echo:hello")').waitFor({ timeout: 15000 });
  assert.equal(await frame.locator('h1').evaluate((e) => getComputedStyle(e).color), 'rgb(0, 90, 160)');
  await frame.locator('body').evaluate(() => GIS.postMessage(42));
  await frame.locator('#echo:text-is("echo:null")').waitFor();
  await frame.locator('body').evaluate(() => GIS.postMessage('Zażółć \u2028 </script>'));
  // the test add-on echoes ASCII only: one replacement per non-ASCII byte
  const echoed = 'echo:Za' + '\uFFFD'.repeat(8) + ' ' + '\uFFFD'.repeat(3) + ' </script>';
  await frame.locator('#echo:has-text("</script>")').waitFor();
  assert.equal(await frame.locator('#echo').textContent(), echoed);
  let state = await api.waitFor((s) => s.palettes[0].browsers[0].loading === false, 10000, 'page loaded');
  assert.equal(state.menus[0].items[0].checked, true);
  await page.locator('#menus .menu-item[data-item="1"].checked').waitFor({ state: 'attached' });

  // the close box goes to the add-on as message 1, which hides the palette and clears the check mark
  await panel.locator('.close').click();
  await panel.waitFor({ state: 'hidden' });
  state = await api.state();
  assert.equal(state.palettes[0].visible, false);
  assert.equal(state.menus[0].items[0].checked, false);

  // showing it again keeps the same page (hiding does not reload it)
  await api.menu(1);
  await panel.waitFor({ state: 'visible' });
  assert.equal(await frame.locator('#echo').textContent(), echoed);

  // item 2 draws a polyline in one undo step; the plan and the undo button follow
  await api.menu(2);
  await page.locator('#plan-svg path.outline').waitFor();
  await page.locator('#undo:not([disabled])').waitFor();
  await page.click('#undo');
  await page.locator('#plan-svg path').first().waitFor({ state: 'detached' });
  await page.click('#redo');
  await page.locator('#plan-svg path.outline').waitFor();

  // the same step made a slab and a morph box: their outlines in the plan, the bodies in the 3D view
  await page.locator('#plan-svg path.body').waitFor();
  await page.locator('#plan-svg path.solid').waitFor();
  await page.locator('#view3d-canvas[data-bodies="2"]').waitFor({ timeout: 15000 });
  const painted = await page.evaluate(() => {
    // share of pixels that are not the background: the bodies were really drawn
    const c = document.querySelector('#view3d-canvas canvas');
    const probe = document.createElement('canvas');
    probe.width = c.width;
    probe.height = c.height;
    const ctx = probe.getContext('2d');
    ctx.drawImage(c, 0, 0);
    const d = ctx.getImageData(0, 0, c.width, c.height).data;
    let n = 0;
    for (let i = 0; i < d.length; i += 4) if (Math.abs(d[i] - 0xf4) + Math.abs(d[i + 1] - 0xf6) + Math.abs(d[i + 2] - 0xf8) > 40) n++;
    return n / (d.length / 4);
  });
  assert.ok(painted > 0.02, 'bodies cover ' + painted + ' of the 3D view');
  state = await api.state();
  assert.deepEqual(state.undo.steps, ['Test drawing']);
  assert.equal(state.liveMemos, 0);
  assert.match((await wb.close()).stderr, /test-addon: quit[\s\S]*test-addon: FreeData/);
  return 'workbench smoke test passed';
});
