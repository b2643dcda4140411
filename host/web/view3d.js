// The workbench's 3D window: terrain meshes, slabs and morph bodies of the
// project, z up, turned and zoomed with the mouse. It follows the model the
// plan view fetches (the "kl-model" event), so both always show one state.
import * as THREE from 'three';
import { OrbitControls } from './OrbitControls.js';
import { surfaceHeights, terrainGeometry } from './terrain_surface.js';

const host = document.getElementById('view3d-canvas');
const count = document.getElementById('view3d-count');

let renderer;
try {
  renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
} catch (err) {
  host.textContent = 'Widok 3D niedostępny: przeglądarka nie obsługuje WebGL.';
  host.dataset.bodies = 'n/a';
}

if (renderer) {
  host.append(renderer.domElement);
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0xf4f6f8);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x8a8f96, 1.6));
  const sun = new THREE.DirectionalLight(0xffffff, 1.4);
  sun.position.set(-0.5, -0.8, 1.2);
  scene.add(sun);
  const camera = new THREE.PerspectiveCamera(45, 1, 0.1, 1e6);
  camera.up.set(0, 0, 1);
  const controls = new OrbitControls(camera, renderer.domElement);
  const bodies = new THREE.Group();
  scene.add(bodies);
  let fittedKey = '';

  const colours = new Map();  // surface index -> colour
  const colourOf = (surface) => colours.get(surface) || new THREE.Color(0xb8b2a7);
  const material = (colour) => new THREE.MeshLambertMaterial({ color: colour, side: THREE.DoubleSide });

  // A polygon of a body seen along its largest normal axis, cut into triangles with its holes.
  function addPolygon(positions, contours) {
    const outer = contours[0];
    let nx = 0, ny = 0, nz = 0;
    outer.forEach((p, i) => {
      const q = outer[(i + 1) % outer.length];
      nx += (p.y - q.y) * (p.z + q.z);
      ny += (p.z - q.z) * (p.x + q.x);
      nz += (p.x - q.x) * (p.y + q.y);
    });
    const ax = Math.abs(nx), ay = Math.abs(ny), az = Math.abs(nz);
    const flat = ax >= ay && ax >= az ? (p) => new THREE.Vector2(p.y, p.z)
      : ay >= az ? (p) => new THREE.Vector2(p.z, p.x) : (p) => new THREE.Vector2(p.x, p.y);
    const all = contours.flat();
    for (const t of THREE.ShapeUtils.triangulateShape(outer.map(flat), contours.slice(1).map((c) => c.map(flat))))
      for (const i of t) positions.push(all[i].x, all[i].y, all[i].z);
  }

  function morphMesh(e) {
    const b = e.body, byMaterial = new Map();
    const vertex = (i) => { const [x, y, z] = b.vertices[i - 1]; return new THREE.Vector3(x, y, z); };
    for (const poly of b.polygons) {
      const contours = [[]];
      for (const s of poly.edges) {
        if (s === 0) { contours.push([]); continue; }
        const [a, c] = b.edges[Math.abs(s) - 1];
        contours[contours.length - 1].push(vertex(s > 0 ? a : c));
      }
      if (!byMaterial.has(poly.material)) byMaterial.set(poly.material, []);
      addPolygon(byMaterial.get(poly.material), contours.filter((c) => c.length >= 3));
    }
    const group = new THREE.Group();
    for (const [surface, positions] of byMaterial) {
      const geometry = new THREE.BufferGeometry();
      geometry.setAttribute('position', new THREE.Float32BufferAttribute(positions, 3));
      geometry.computeVertexNormals();
      group.add(new THREE.Mesh(geometry, material(colourOf(surface))));
    }
    return group;
  }

  function shapeOf(e) {
    const rings = [];
    let start = 0;
    for (const end of e.rings) { rings.push(e.coords.slice(start, end).map(([x, y]) => new THREE.Vector2(x, y))); start = end; }
    const shape = new THREE.Shape(rings[0]);
    for (const hole of rings.slice(1)) shape.holes.push(new THREE.Path(hole));
    return shape;
  }

  // A slab keeps its top level; the block hangs from it by its thickness.
  function slabMesh(e) {
    const geometry = new THREE.ExtrudeGeometry(shapeOf(e), { depth: e.thickness, bevelEnabled: false });
    const mesh = new THREE.Mesh(geometry, material(new THREE.Color(0xc9b79c)));
    mesh.position.z = e.level - e.thickness;
    return mesh;
  }

  function terrainMesh(e) {
    const surface = new THREE.Mesh(terrainGeometry(e), material(colourOf(e.material)));
    surface.userData.terrain = true;
    return surface;
  }

  function show(model) {
    colours.clear();
    for (const s of model.attributes.surfaces || []) colours.set(s.index, new THREE.Color(...s.rgb));
    for (const child of [...bodies.children]) {
      bodies.remove(child);
      child.traverse((o) => { if (o.geometry) o.geometry.dispose(); if (o.material) o.material.dispose(); });
    }
    let shown = 0;
    for (const e of model.elements) {
      let object = null;
      try {
        if (e.type === 'morph' && e.body) object = morphMesh(e);
        else if (e.type === 'slab' && e.coords) object = slabMesh(e);
        else if (e.type === 'mesh' && e.coords) object = terrainMesh(e);
      } catch (err) {
        // one element the view cannot draw costs that element, not the whole view; the count shows it
        console.error('Widok 3D: element ' + e.guid + ' pominięty: ' + err);
      }
      if (!object) continue;
      object.userData.guid = e.guid;
      object.userData.heights = null;
      bodies.add(object);
      shown++;
    }
    host.dataset.bodies = String(shown);
    count.textContent = shown ? '(' + shown + ')' : '';
    const box = new THREE.Box3().setFromObject(bodies);
    const key = shown ? [box.min.toArray(), box.max.toArray()].join() : '';
    if (shown && key !== fittedKey) {
      // a new extent: look at it from the south-west, from above
      fittedKey = key;
      const centre = box.getCenter(new THREE.Vector3()), size = box.getSize(new THREE.Vector3()).length() || 1;
      controls.target.copy(centre);
      camera.position.copy(centre).add(new THREE.Vector3(-0.6, -0.9, 0.7).multiplyScalar(size));
      camera.near = size / 1000;
      camera.far = size * 20;
      camera.updateProjectionMatrix();
    }
    controls.update();
    draw();
  }

  function draw() {
    const w = host.clientWidth, h = host.clientHeight;
    if (w && h && (renderer.domElement.width !== Math.floor(w * devicePixelRatio) || camera.aspect !== w / h)) {
      renderer.setPixelRatio(devicePixelRatio);
      renderer.setSize(w, h, false);
      camera.aspect = w / h;
      camera.updateProjectionMatrix();
    }
    renderer.render(scene, camera);
  }

  // Read-only, for checks: the height of the drawn terrain straight below
  // (x, y), the highest of the terrain meshes (or of those named by guid), or
  // null where none is drawn.
  window.view3dHeightAt = (x, y, guids = null) => {
    let top = null;
    for (const o of bodies.children) {
      if (!o.userData.terrain || (guids && !guids.includes(o.userData.guid))) continue;
      o.userData.heights ||= surfaceHeights(o.geometry);
      const h = o.userData.heights(x, y);
      if (h !== null && (top === null || h > top)) top = h;
    }
    return top;
  };

  controls.addEventListener('change', draw);
  new ResizeObserver(draw).observe(host);
  window.addEventListener('kl-model', (ev) => show(ev.detail));
  if (window.klModel) show(window.klModel);
}
