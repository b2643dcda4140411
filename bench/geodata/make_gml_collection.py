#!/usr/bin/env python3
"""Writes a large WFS 2.0 collection by repeating the members of a real sample
with unique gml:id values:  make_gml_collection.py SAMPLE OUT MEGABYTES"""
import re
import sys

sample, out, megabytes = sys.argv[1], sys.argv[2], float(sys.argv[3])
text = open(sample, encoding="utf-8").read()
first = text.index("<wfs:member>")
last = text.rindex("</wfs:member>") + len("</wfs:member>")
head, members, tail = text[:first], text[first:last], text[last:]
target = int(megabytes * 1e6)
with open(out, "w", encoding="utf-8") as f:
    f.write(head)
    written = len(head)
    copy = 0
    while written < target:
        block = re.sub(r'gml:id="([^"]*)"', lambda m: 'gml:id="%s.r%d"' % (m.group(1), copy), members)
        f.write(block)
        written += len(block)
        copy += 1
    f.write(tail)
