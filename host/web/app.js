// The workbench page: menus, palette panels, report window, undo/redo, a
// plan of the project's 2D elements to select from and the host's alerts,
// refreshed whenever the host changes.
(function () {
  'use strict';
  const $ = (id) => document.getElementById(id);
  const svgNs = 'http://www.w3.org/2000/svg';
  let fetching = false, again = false, modelKey = '', alertKey = '';
  let selected = new Set();
  const panels = new Map();  // palette id -> {root, body, frames: Map(browser id -> iframe)}

  function post(name, body) {
    return fetch('api/' + name, {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body || {})
    }).then((r) => r.json()).finally(refresh);
  }

  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  // ---- menus
  function renderMenus(menus) {
    const nav = $('menus');
    const openTitles = new Set([...nav.querySelectorAll('.menu.open')].map((m) => m.dataset.title));
    nav.replaceChildren();
    const byTitle = new Map();
    for (const m of menus) {
      if (!byTitle.has(m.title)) byTitle.set(m.title, []);
      byTitle.get(m.title).push(m);
    }
    for (const [title, list] of byTitle) {
      const menu = el('div', 'menu');
      menu.dataset.title = title;
      if (openTitles.has(title)) menu.classList.add('open');
      const button = el('button', 'menu-title', title);
      button.type = 'button';
      button.addEventListener('click', (ev) => { ev.stopPropagation(); menu.classList.toggle('open'); });
      const drop = el('ul', 'dropdown');
      for (const m of list) {
        const holder = el('li', 'entry has-submenu');
        holder.append(el('span', 'mark', ''), el('span', 'label', m.submenu + ' ▸'));
        holder.addEventListener('click', (ev) => { ev.stopPropagation(); holder.classList.toggle('open'); });
        const sub = el('ul', 'submenu');
        for (const item of m.items) {
          const li = el('li', 'entry menu-item' + (item.checked ? ' checked' : '') + (item.disabled ? ' disabled' : ''));
          li.dataset.menu = m.id;
          li.dataset.item = item.index;
          li.setAttribute('role', 'menuitemcheckbox');
          li.setAttribute('aria-checked', item.checked ? 'true' : 'false');
          li.append(el('span', 'mark', item.checked ? '✓' : ''), el('span', 'label', item.text));
          li.addEventListener('click', (ev) => {
            ev.stopPropagation();
            if (item.disabled) return;
            nav.querySelectorAll('.open').forEach((o) => o.classList.remove('open'));
            post('menu', { menu: m.id, item: item.index });
          });
          sub.append(li);
        }
        holder.append(sub);
        drop.append(holder);
      }
      menu.append(button, drop);
      nav.append(menu);
    }
  }
  document.addEventListener('click', () => document.querySelectorAll('#menus .open').forEach((o) => o.classList.remove('open')));

  // ---- palettes
  function makePanel(p, index) {
    const root = el('div', 'palette');
    root.dataset.paletteId = p.id;
    root.style.left = (40 + 30 * index) + 'px';
    root.style.top = (60 + 30 * index) + 'px';
    const bar = el('div', 'palette-title');
    const title = el('span', 'title', p.title);
    const close = el('button', 'close', '×');
    close.type = 'button';
    close.setAttribute('aria-label', 'Zamknij');
    close.addEventListener('click', () => post('palette-close', { palette: p.id }));
    bar.append(title, close);
    const body = el('div', 'palette-body');
    root.append(bar, body);
    dragWith(bar, root);
    $('palettes').append(root);
    return { root, body, title, frames: new Map() };
  }

  function dragWith(handle, target) {
    handle.addEventListener('pointerdown', (ev) => {
      if (ev.target.closest('button')) return;
      const dx = ev.clientX - target.offsetLeft, dy = ev.clientY - target.offsetTop;
      const move = (e) => { target.style.left = (e.clientX - dx) + 'px'; target.style.top = Math.max(0, e.clientY - dy) + 'px'; };
      const up = () => { window.removeEventListener('pointermove', move); window.removeEventListener('pointerup', up); };
      window.addEventListener('pointermove', move);
      window.addEventListener('pointerup', up);
    });
  }

  function renderPalettes(palettes) {
    const alive = new Set();
    palettes.forEach((p, index) => {
      alive.add(p.id);
      let panel = panels.get(p.id);
      if (!panel) panels.set(p.id, panel = makePanel(p, index));
      panel.title.textContent = p.title;
      panel.body.style.width = p.width + 'px';
      panel.body.style.height = p.height + 'px';
      // hidden panels keep their frames, so the pages live on
      panel.root.style.display = p.visible ? 'flex' : 'none';
      panel.root.classList.toggle('disabled', !p.enabled);
      const frames = new Set();
      for (const b of p.browsers) {
        frames.add(b.id);
        let frame = panel.frames.get(b.id);
        if (!frame) {
          frame = el('iframe');
          frame.dataset.browserId = b.id;
          frame.title = p.title;
          panel.frames.set(b.id, frame);
          panel.body.append(frame);
        }
        const item = (p.items || [])[b.item - 1] || { x: 0, y: 0, w: p.width, h: p.height };
        Object.assign(frame.style, { left: item.x + 'px', top: item.y + 'px', width: item.w + 'px', height: item.h + 'px' });
        if (b.page && frame.dataset.src !== b.page) {
          frame.dataset.src = b.page;
          frame.src = b.page;
        }
      }
      for (const [id, frame] of panel.frames)
        if (!frames.has(id)) { frame.remove(); panel.frames.delete(id); }
    });
    for (const [id, panel] of panels)
      if (!alive.has(id)) { panel.root.remove(); panels.delete(id); }
  }

  // ---- plan view
  // A picture fills origin..origin+size turned by its angle about the origin.
  // Image rows run downwards, the plan's y upwards: the matrix maps the
  // image's top-left corner to origin + R(angle)(0, height).
  function pictureNode(e, grow) {
    const [x0, y0] = e.origin, [w, h] = e.size, c = Math.cos(e.angle || 0), s = Math.sin(e.angle || 0);
    const node = document.createElementNS(svgNs, 'image');
    node.setAttribute('href', 'api/picture/' + encodeURIComponent(e.guid));
    node.setAttribute('width', w);
    node.setAttribute('height', h);
    node.setAttribute('preserveAspectRatio', 'none');
    node.setAttribute('transform', 'matrix(' + [c, s, s, -c, x0 - s * h, y0 + c * h].join(' ') + ')');
    node.setAttribute('class', 'picture');
    node.dataset.guid = e.guid;
    for (const [u, v] of [[0, 0], [w, 0], [0, h], [w, h]]) grow(x0 + c * u - s * v, y0 + s * u + c * v);
    return node;
  }

  // A morph seen from above: the outline of each of its polygons, so walls
  // draw as lines and roofs and floors as areas.
  function morphFootprint(e, grow) {
    const b = e.body;
    let d = '';
    for (const poly of b.polygons) {
      let first = true;
      for (const s of poly.edges) {
        if (s === 0) { d += 'Z'; first = true; continue; }
        const [a, c] = b.edges[Math.abs(s) - 1];
        const [x, y] = b.vertices[(s > 0 ? a : c) - 1];
        d += (first ? 'M' : 'L') + x + ' ' + y;
        first = false;
        grow(x, y);
      }
      d += 'Z';
    }
    const path = document.createElementNS(svgNs, 'path');
    path.setAttribute('d', d);
    path.setAttribute('class', 'body');
    path.setAttribute('vector-effect', 'non-scaling-stroke');
    path.dataset.guid = e.guid;
    return path;
  }

  function renderPlan(model) {
    const svg = $('plan-svg');
    svg.replaceChildren();
    const flat = document.createElementNS(svgNs, 'g');
    flat.setAttribute('transform', 'scale(1,-1)');
    let minX = Infinity, minY = Infinity, maxX = -Infinity, maxY = -Infinity, shown = 0;
    const grow = (x, y) => { minX = Math.min(minX, x); maxX = Math.max(maxX, x); minY = Math.min(minY, y); maxY = Math.max(maxY, y); };
    const texts = [];
    // Pictures first, so that every outline and fill is drawn over them.
    for (const e of model.elements.filter((p) => p.type === 'picture')) {
      flat.append(pictureNode(e, grow));
      shown++;
    }
    for (const e of model.elements) {
      if (e.coords && ['polyline', 'hatch', 'slab', 'mesh'].includes(e.type)) {
        let d = '', start = 0;
        for (const end of e.rings) {
          const ring = e.coords.slice(start, end);
          start = end;
          ring.forEach(([x, y], i) => { d += (i ? 'L' : 'M') + x + ' ' + y; grow(x, y); });
          if (e.type !== 'polyline' || e.closed) d += 'Z';
        }
        const path = document.createElementNS(svgNs, 'path');
        path.setAttribute('d', d);
        // A mesh is ground under everything else: its outline only, so the contours inside stay visible.
        path.setAttribute('class', { polyline: 'outline', hatch: 'hatch', mesh: 'mesh' }[e.type] || 'solid');
        path.setAttribute('fill-rule', 'evenodd');
        // A zone's own colour, as the plan-zone symbology gave it; other hatches keep the style sheet's.
        if (e.fillColour) path.style.fill = 'rgba(' + e.fillColour.map((c) => Math.round(c * 255)).join(',') + ',.45)';
        path.setAttribute('vector-effect', 'non-scaling-stroke');
        path.dataset.guid = e.guid;
        flat.append(path);
        shown++;
      } else if (e.type === 'morph' && e.body) {
        flat.append(morphFootprint(e, grow));
        shown++;
      } else if (e.type === 'text') {
        grow(e.loc[0], e.loc[1]);
        texts.push(e);
        shown++;
      }
    }
    svg.append(flat);
    if (shown === 0) { svg.removeAttribute('viewBox'); $('plan-count').textContent = ''; return; }
    const w = Math.max(maxX - minX, 1), h = Math.max(maxY - minY, 1), m = 0.05 * Math.max(w, h);
    svg.setAttribute('viewBox', [minX - m, -maxY - m, w + 2 * m, h + 2 * m].join(' '));
    const size = Math.max(w, h) / 60;
    for (const t of texts) {
      const node = document.createElementNS(svgNs, 'text');
      node.setAttribute('x', t.loc[0]);
      node.setAttribute('y', -t.loc[1]);
      node.setAttribute('font-size', size);
      node.setAttribute('transform', 'rotate(' + (-t.angle * 180 / Math.PI) + ' ' + t.loc[0] + ' ' + -t.loc[1] + ')');
      node.textContent = t.text;
      node.dataset.guid = t.guid;
      svg.append(node);
    }
    $('plan-count').textContent = '(' + shown + ')';
    showSelection();
  }

  // ---- selection: a click selects one element, with Shift or Ctrl it adds
  // or removes one, on empty plan it clears
  function showSelection() {
    $('plan-svg').querySelectorAll('[data-guid]').forEach((n) => n.classList.toggle('selected', selected.has(n.dataset.guid)));
    $('plan-selected').textContent = selected.size ? 'zaznaczone: ' + selected.size : '';
  }

  $('plan-svg').addEventListener('click', (ev) => {
    const hit = ev.target.closest('[data-guid]');
    const next = ev.shiftKey || ev.ctrlKey ? new Set(selected) : new Set();
    if (hit) {
      const guid = hit.dataset.guid;
      if (next.has(guid)) next.delete(guid); else next.add(guid);
    }
    post('selection', { guids: [...next] });
  });

  // ---- the host's modal alert
  function renderAlert(open) {
    const box = $('alert');
    const key = open ? JSON.stringify([open.id, open.text]) : '';
    if (key === alertKey) return;
    alertKey = key;
    box.hidden = !open;
    if (!open) return;
    $('alert-title').textContent = open.title;
    $('alert-text').textContent = open.text;
    $('alert-buttons').replaceChildren(...open.buttons.map((label, i) => {
      if (!label) return null;
      const b = el('button', '', label);
      b.type = 'button';
      b.addEventListener('click', () => post('alert-answer', { button: i + 1 }));
      return b;
    }).filter(Boolean));
    const first = $('alert-buttons').querySelector('button');
    if (first) first.focus();
  }

  function renderReport(lines) {
    const list = $('report-lines');
    if (list.children.length === lines.length) return;
    list.replaceChildren(...lines.map((l) => el('li', l.dialog ? 'dialog' : '', l.text)));
    list.scrollTop = list.scrollHeight;
  }

  async function refresh() {
    if (fetching) { again = true; return; }
    fetching = true;
    try {
      const s = await (await fetch('api/state')).json();
      renderMenus(s.menus);
      renderPalettes(s.palettes);
      renderReport(s.report);
      renderAlert(s.alerts.open);
      selected = new Set(s.selection);
      $('undo').disabled = s.undo.steps.length === 0;
      $('redo').disabled = s.undo.redo.length === 0;
      $('undo').title = s.undo.steps.length ? 'Cofnij: ' + s.undo.steps[s.undo.steps.length - 1] : 'Cofnij';
      $('status').textContent = s.addon.loaded ? s.addon.name : (s.addon.error || 'bez dodatku');
      const key = JSON.stringify([s.elements.total, s.undo.steps, s.undo.redo]);
      if (key !== modelKey) {
        const model = await (await fetch('api/model')).json();
        // Only once the page has it: a model that failed to arrive is asked for again.
        modelKey = key;
        renderPlan(model);
        // the 3D view (a module, loaded later) picks the model up from here
        window.klModel = model;
        window.dispatchEvent(new CustomEvent('kl-model', { detail: model }));
      }
      showSelection();
      document.body.dataset.revision = s.revision;
    } catch (err) {
      $('status').textContent = 'brak połączenia ze stanowiskiem';
      // a busy or restarting workbench: ask again shortly, or the page keeps a stale model
      again = false;
      setTimeout(refresh, 2000);
    } finally {
      fetching = false;
      if (again) { again = false; refresh(); }
    }
  }

  document.addEventListener('keydown', (ev) => {
    if (ev.key === 'Escape' && !$('alert').hidden) post('alert-answer', { button: 0 });
  });
  $('undo').addEventListener('click', () => post('undo'));
  $('redo').addEventListener('click', () => post('redo'));
  const events = new EventSource('events');
  events.addEventListener('revision', refresh);
  refresh();
})();
