"""Answers geometry questions with shapely, as the independent reference.

Reads a JSON request from the file named by the first argument:
  {"contains": [{"ring": [[x, y], ...], "points": [[x, y], ...]}, ...],
   "buffers": [{"line": [[x, y], ...], "halfWidth": w}, ...],
   "rings": [[[x, y], ...], ...]}
and prints
  {"contains": [[true|false|null, ...], ...]   (null: closer than 1e-6 m to the boundary)
   "bufferAreas": [area, ...]                   (flat ends, mitred joins)
   "rings": [{"area": a, "valid": v}, ...]}
"""
import json
import sys

from shapely.geometry import LineString, Point, Polygon


def main():
    with open(sys.argv[1]) as f:
        request = json.load(f)
    contains = []
    for case in request.get("contains", []):
        ring = Polygon(case["ring"])
        answers = []
        for x, y in case["points"]:
            p = Point(x, y)
            answers.append(None if ring.exterior.distance(p) < 1e-6 else ring.contains(p))
        contains.append(answers)
    areas = [LineString(b["line"]).buffer(b["halfWidth"], cap_style=2, join_style=2).area
             for b in request.get("buffers", [])]
    rings = []
    for r in request.get("rings", []):
        poly = Polygon(r) if len(r) >= 3 else None
        rings.append({"area": poly.area if poly else 0.0, "valid": bool(poly and poly.is_valid)})
    print(json.dumps({"contains": contains, "bufferAreas": areas, "rings": rings}))


main()
