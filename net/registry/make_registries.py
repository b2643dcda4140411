#!/usr/bin/env python3
"""Rebuilds the service registry files from the address lists kept beside the
repository (../shared/samples/registry). Run from the repository root:
    python3 net/registry/make_registries.py
Rows without a known address keep empty endpoint columns."""
import csv
import json
import os
import sys

root = os.path.dirname(os.path.abspath(__file__))
src = os.path.join(root, "..", "..", "..", "shared", "samples", "registry")

HEADER = "# teryt\twms\twfs\n"


def county_keys():
    with open(os.path.join(src, "gugikplugin__powiaty.geojson"), encoding="utf-8") as f:
        return sorted(x["properties"]["TERYT"] for x in json.load(f)["features"])


def egib_wfs():
    urls = {}
    with open(os.path.join(src, "rgugik__egib_layers.decoded.csv"), encoding="utf-8") as f:
        for row in csv.DictReader(f):
            urls[row["TERYT"]] = row["URL"].strip()
    # Counties the first list leaves empty: the second list names the
    # integrated-service host code, whose address form its notes give.
    with open(os.path.join(src, "egibplb__county_egib_wfs_config.extracted.csv"), encoding="utf-8") as f:
        for row in csv.DictReader(f):
            key = row["teryt"]
            if len(key) != 4 or urls.get(key):
                continue
            if row["parser_family"] == "WebEwidAreaParser" and row["url_code"]:
                port = ":" + row["port"] if row["port"] else ""
                urls[key] = "https://%s.webewid.pl%s/iip/ows" % (row["url_code"], port)
    return urls


def write(name, title, rows):
    path = os.path.join(root, name)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("# " + title + "\n")
        f.write("# One row per key; an empty column means no known address.\n")
        f.write(HEADER)
        for key, wms, wfs in rows:
            f.write("%s\t%s\t%s\n" % (key, wms, wfs))
    print(path, len(rows), file=sys.stderr)


def main():
    keys = county_keys()
    wfs = egib_wfs()
    write("egib.tsv", "Cadastral (EGiB) services of the counties", [(k, "", wfs.get(k, "")) for k in keys])
    write("bdot500.tsv", "BDOT500 services of the counties", [(k, "", "") for k in keys])
    write("gesut.tsv", "Utility network (GESUT) services of the counties", [(k, "", "") for k in keys])
    with open(os.path.join(src, "gugikplugin__gminy.geojson"), encoding="utf-8") as f:
        communes = sorted({x["properties"]["TERYT"][:6] for x in json.load(f)["features"]})
    write("mpzp.tsv", "Local zoning plan (MPZP) services of the communes", [(k, "", "") for k in communes])


main()
