// A terrain mesh element as the host shows it: the triangulated surface
// through its outline (with a height per vertex) and all its level points,
// cut back to the outline, holes included. Delaunator (loaded beside this
// file as a classic script) does the triangulation; a triangle stays when its
// centroid lies inside the outline by the even-odd rule.
import * as THREE from 'three';

// The outline's edges sorted into horizontal bands, so each inside test looks
// at the few edges that cross its band instead of all of them.
function bandedEdges(coords, rings) {
  const edges = [];
  let start = 0, minY = Infinity, maxY = -Infinity;
  for (const end of rings) {
    for (let i = start; i + 1 < end; i++) {
      const [ax, ay] = coords[i], [bx, by] = coords[i + 1];
      if (ay !== by) edges.push([ax, ay, bx, by]);
      minY = Math.min(minY, ay, by);
      maxY = Math.max(maxY, ay, by);
    }
    start = end;
  }
  const count = Math.max(1, Math.ceil(Math.sqrt(edges.length)));
  const height = (maxY - minY) / count || 1;
  const bands = Array.from({ length: count }, () => []);
  const bandOf = (y) => Math.min(count - 1, Math.max(0, Math.floor((y - minY) / height)));
  for (const e of edges)
    for (let b = bandOf(Math.min(e[1], e[3])); b <= bandOf(Math.max(e[1], e[3])); b++) bands[b].push(e);
  return (x, y) => {
    if (y < minY || y > maxY) return false;
    let inside = false;
    for (const [ax, ay, bx, by] of bands[bandOf(y)])
      if ((ay > y) !== (by > y) && x < ax + (y - ay) * (bx - ax) / (by - ay)) inside = !inside;
    return inside;
  };
}

// The element's points, outline first, as flat x,y pairs and heights (which
// count from the mesh's level).
function surfacePoints(e) {
  const n = e.coords.length + e.levelPoints.length, base = e.level || 0;
  const xy = new Float64Array(2 * n), z = new Float64Array(n);
  e.coords.forEach(([x, y], i) => { xy[2 * i] = x; xy[2 * i + 1] = y; z[i] = base + e.boundaryZ[i]; });
  const offset = e.coords.length;
  e.levelPoints.forEach(([x, y, h], i) => { xy[2 * (offset + i)] = x; xy[2 * (offset + i) + 1] = y; z[offset + i] = base + h; });
  return { xy, z, n };
}

export function terrainGeometry(e) {
  const { xy, z, n } = surfacePoints(e);
  const inside = bandedEdges(e.coords, e.rings);
  const all = new globalThis.Delaunator(xy).triangles;
  const kept = new Uint32Array(all.length);
  let k = 0;
  for (let t = 0; t < all.length; t += 3) {
    const a = all[t], b = all[t + 1], c = all[t + 2];
    const cx = (xy[2 * a] + xy[2 * b] + xy[2 * c]) / 3, cy = (xy[2 * a + 1] + xy[2 * b + 1] + xy[2 * c + 1]) / 3;
    if (inside(cx, cy)) { kept[k++] = a; kept[k++] = b; kept[k++] = c; }
  }
  const positions = new Float32Array(3 * n);
  for (let i = 0; i < n; i++) { positions[3 * i] = xy[2 * i]; positions[3 * i + 1] = xy[2 * i + 1]; positions[3 * i + 2] = z[i]; }
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
  geometry.setIndex(new THREE.BufferAttribute(kept.slice(0, k), 1));
  geometry.computeVertexNormals();
  return geometry;
}

// Heights of a drawn surface looked up straight down: its triangles in a grid
// of cells, each triangle listed in the cells its box covers. Returns null off
// the surface.
export function surfaceHeights(geometry) {
  const p = geometry.attributes.position.array, index = geometry.index.array;
  geometry.computeBoundingBox();
  const { min, max } = geometry.boundingBox;
  const side = Math.max(1, Math.ceil(Math.sqrt(index.length / 3 / 4)));
  const cw = (max.x - min.x) / side || 1, ch = (max.y - min.y) / side || 1;
  const cellX = (x) => Math.min(side - 1, Math.max(0, Math.floor((x - min.x) / cw)));
  const cellY = (y) => Math.min(side - 1, Math.max(0, Math.floor((y - min.y) / ch)));
  const cells = new Map();
  for (let t = 0; t < index.length; t += 3) {
    const xs = [p[3 * index[t]], p[3 * index[t + 1]], p[3 * index[t + 2]]];
    const ys = [p[3 * index[t] + 1], p[3 * index[t + 1] + 1], p[3 * index[t + 2] + 1]];
    for (let i = cellX(Math.min(...xs)); i <= cellX(Math.max(...xs)); i++)
      for (let j = cellY(Math.min(...ys)); j <= cellY(Math.max(...ys)); j++) {
        const key = i * side + j;
        if (!cells.has(key)) cells.set(key, []);
        cells.get(key).push(t);
      }
  }
  return (x, y) => {
    if (x < min.x || x > max.x || y < min.y || y > max.y) return null;
    for (const t of cells.get(cellX(x) * side + cellY(y)) || []) {
      const [a, b, c] = [3 * index[t], 3 * index[t + 1], 3 * index[t + 2]];
      // barycentric weights of (x, y) in the triangle's plan view
      const d = (p[b + 1] - p[c + 1]) * (p[a] - p[c]) + (p[c] - p[b]) * (p[a + 1] - p[c + 1]);
      if (d === 0) continue;
      const u = ((p[b + 1] - p[c + 1]) * (x - p[c]) + (p[c] - p[b]) * (y - p[c + 1])) / d;
      const v = ((p[c + 1] - p[a + 1]) * (x - p[c]) + (p[a] - p[c]) * (y - p[c + 1])) / d;
      const eps = -1e-9;
      if (u >= eps && v >= eps && 1 - u - v >= eps) return u * p[a + 2] + v * p[b + 2] + (1 - u - v) * p[c + 2];
    }
    return null;
  };
}
