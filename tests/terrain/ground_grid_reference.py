"""Reference ground grid written straight from the rules, with numpy.

Reads {"frame": [minX, minY, maxX, maxY], "cell", "flatten", "ground": [[x, y, z], ...],
"water": [...]} from the file named by the first argument and prints {"nx", "ny", "heights"
(null: empty), "water" (0 or 1 a cell), "level" (null: none), "valid", "waterCells", "flattened"}.
"""
import json
import math
import sys

import numpy as np

PASSES = 20


def binned(points, x0, y0, cell, nx, ny):
    # Each point goes to its nearest node.
    fx = (points[:, 0] - x0) / cell + 0.5
    fy = (points[:, 1] - y0) / cell + 0.5
    with np.errstate(invalid="ignore"):
        keep = np.isfinite(points[:, 2]) & (fx >= 0) & (fx < nx) & (fy >= 0) & (fy < ny)
    index = np.floor(fy[keep]).astype(np.int64) * nx + np.floor(fx[keep]).astype(np.int64)
    z = points[keep, 2].astype(np.float32)
    order = np.lexsort((z, index))
    index, z = index[order], z[order]
    cells, first, count = np.unique(index, return_index=True, return_counts=True)
    return cells, count, z[first + count // 2].astype(np.float64), z


def fill_holes(h):
    valid = 0
    ny, nx = h.shape
    for _ in range(PASSES):
        padded = np.pad(h, 1, constant_values=np.nan)
        total = np.zeros_like(h)
        count = np.zeros(h.shape, dtype=np.int64)
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                if dx == 0 and dy == 0:
                    continue
                v = padded[1 + dy:1 + dy + ny, 1 + dx:1 + dx + nx]
                have = ~np.isnan(v)
                total = total + np.where(have, v, 0.0)
                count += have
        fill = np.isnan(h) & (count >= 3)
        if not fill.any():
            break
        h[fill] = total[fill] / count[fill]
        valid += int(fill.sum())
    return valid


def flood(h, water):
    reach = water.copy()
    while True:
        grown = reach.copy()
        grown[1:, :] |= reach[:-1, :]
        grown[:-1, :] |= reach[1:, :]
        grown[:, 1:] |= reach[:, :-1]
        grown[:, :-1] |= reach[:, 1:]
        grown &= reach | np.isnan(h)
        if (grown == reach).all():
            return reach
        reach = grown


def main(source):
    with open(source) as f:
        request = json.load(f)
    minx, miny, maxx, maxy = request["frame"]
    cell, flatten = request["cell"], request["flatten"]
    ground = np.array(request["ground"], dtype=np.float64).reshape(-1, 3)
    water_pts = np.array(request["water"], dtype=np.float64).reshape(-1, 3)
    nx = int(np.floor((maxx - minx) / cell)) + 1
    ny = int(np.floor((maxy - miny) / cell)) + 1
    h = np.full(nx * ny, np.nan)
    cells, _, med, _ = binned(ground, minx, miny, cell, nx, ny)
    h[cells] = med
    valid = len(cells)
    h = h.reshape(ny, nx)
    valid += fill_holes(h)
    h = h.reshape(-1)
    water = np.zeros(nx * ny, dtype=bool)
    cells, count, med, all_z = binned(water_pts, minx, miny, cell, nx, ny)
    cells, med = cells[count >= 2], med[count >= 2]
    valid += int(np.isnan(h[cells]).sum())
    h[cells] = med
    water[cells] = True
    water_cells = len(cells)
    level, flattened = None, 0
    if flatten and len(all_z):
        level = float(np.sort(all_z)[len(all_z) // 2])
        water = flood(h.reshape(ny, nx), water.reshape(ny, nx)).reshape(-1)
        flattened = int(water.sum())
    print(json.dumps({"nx": nx, "ny": ny, "heights": [None if math.isnan(v) else v for v in h.tolist()],
                      "water": water.astype(int).tolist(), "level": level, "valid": valid,
                      "waterCells": water_cells, "flattened": flattened}))


if __name__ == "__main__":
    main(sys.argv[1])
