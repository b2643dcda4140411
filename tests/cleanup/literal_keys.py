#!/usr/bin/env python3
"""Reference grouping of polylines by the plain textual key: every number
rounded to the thousandth and printed with "%.17g|", the key of each segment
list built in full, and the least of the keys of every rotation (closed) and
of both directions taken by comparing the texts. Quadratic on purpose: it
shares nothing with the linear canonical form it checks.

Reads a JSON list of {"layer", "vertices": [[x, y], ...], "angles": [...]}
from the file named on the command line; prints a JSON list with, for each
polyline, the index of the first one with the same layer and key."""
import json
import math
import sys


def num(v):
    r = math.floor(v * 1000 + 0.5) / 1000
    return "%.17g|" % (r + 0.0)  # + 0.0 turns a negative zero into zero


def key(segments):
    (x0, y0), _, _ = segments[0]
    return num(x0) + num(y0) + "".join(num(a) + num(e[0]) + num(e[1]) for _, a, e in segments)


def reversed_segments(segments):
    return [(e, -a, s) for s, a, e in reversed(segments)]


def canonical(vertices, angles):
    segments = [(vertices[i], angles[i], vertices[i + 1]) for i in range(len(vertices) - 1)]
    closed = len(vertices) > 2 and vertices[0] == vertices[-1]
    if not segments:
        return ("closed:" if closed else "open:") + "empty"
    lists = [segments, reversed_segments(segments)]
    if closed:
        lists = [l[k:] + l[:k] for l in lists for k in range(len(l))]
    return ("closed:" if closed else "open:") + min(key(l) for l in lists)


def main():
    polylines = json.load(open(sys.argv[1]))
    first = {}
    out = []
    for i, p in enumerate(polylines):
        vertices = [tuple(v) for v in p["vertices"]]
        k = (p["layer"], canonical(vertices, p["angles"]))
        out.append(first.setdefault(k, i))
    print(json.dumps(out))


main()
