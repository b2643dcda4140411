"""Independent reference for the roof fit tests: for each point set of the JSON job the least-squares
z = a (x - mx) + b (y - my) + c by numpy, and for each mesh the mean distance of its points (every k-th
of more than 5000, k = n // 5000) to the nearest triangle of its faces split as fans."""
import json
import sys

import numpy as np


def plane(points):
    p = np.asarray(points, dtype=float)
    mx, my = p[:, 0].mean(), p[:, 1].mean()
    design = np.column_stack([p[:, 0] - mx, p[:, 1] - my, np.ones(len(p))])
    solution, *_ = np.linalg.lstsq(design, p[:, 2], rcond=None)
    return [float(v) for v in solution]


def segment_distance(p, a, b):
    ab = b - a
    length2 = float(ab @ ab)
    t = 0.0 if length2 == 0 else min(1.0, max(0.0, float((p - a) @ ab) / length2))
    return float(np.linalg.norm(p - (a + t * ab)))


def triangle_distance(p, a, b, c):
    e0, e1 = b - a, c - a
    edges = min(segment_distance(p, a, b), segment_distance(p, b, c), segment_distance(p, c, a))
    if np.linalg.norm(np.cross(e0, e1)) < 1e-12:
        return edges
    # Stationary point of |a + s e0 + t e1 - p|^2; inside when s, t >= 0 and s + t <= 1.
    gram = np.array([[e0 @ e0, e0 @ e1], [e0 @ e1, e1 @ e1]])
    rhs = np.array([(p - a) @ e0, (p - a) @ e1])
    s, t = np.linalg.solve(gram, rhs)
    if s >= 0 and t >= 0 and s + t <= 1:
        return min(edges, float(np.linalg.norm(a + s * e0 + t * e1 - p)))
    return edges


def mesh_error(mesh):
    vertices = np.asarray(mesh["vertices"], dtype=float)
    triangles = [(f[0], f[i - 1], f[i]) for f in mesh["faces"] for i in range(2, len(f))]
    points = np.asarray(mesh["points"], dtype=float)
    if len(points) == 0 or not triangles:
        return 1e9
    step = len(points) // 5000 if len(points) > 5000 else 1
    used = points[::step]
    total = 0.0
    for p in used:
        total += min(triangle_distance(p, vertices[i], vertices[j], vertices[k]) for i, j, k in triangles)
    return total / len(used)


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        job = json.load(f)
    print(json.dumps({"planes": [plane(p) for p in job["planes"]], "errors": [mesh_error(m) for m in job["meshes"]]}))


main()
