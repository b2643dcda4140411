#!/bin/sh
# Side-by-side speed of the coordinate conversions against PROJ (its library
# in memory, and cs2cs as text) and of kartolink-gml against GDAL (ogr2ogr -f
# GeoJSON), on the same inputs in one run, plus the peak memory of GML to
# GeoJSON and its time against a bare pugixml parse, on 50 and 100 MB. The
# compared commands run alternately, round by round (KL_BENCH_ROUNDS, default
# 5), and the figures are the medians: the shared machine's speed changes from
# minute to minute, and one run of each would compare two different machines.
#   bench/geodata/run_geodata_bench.sh [build folder]
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build-geodata}"
samples="${KL_SAMPLES_DIR:-$root/../shared/samples}"
export LC_ALL=C
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM

rounds="${KL_BENCH_ROUNDS:-5}"

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
ratio() { echo "scale=2; $1 / $2" | bc -l; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# alternate NAME_A NAME_B: runs the functions NAME_A and NAME_B alternately
# for the rounds, leaving their times in $work/NAME_A.times and NAME_B.times.
alternate() {
  : > "$work/$1.times"; : > "$work/$2.times"
  i=0
  while [ "$i" -lt "$rounds" ]; do
    for f in "$1" "$2"; do t0=$(now); "$f"; t1=$(now); elapsed "$t0" "$t1" >> "$work/$f.times"; done
    i=$((i + 1))
  done
}

echo "== 1 000 000 points: in memory against PROJ, then WGS84 -> PL-1992 as text against cs2cs"
awk 'BEGIN { srand(5); for (i = 0; i < 1000000; i++)
  printf "%.9f %.9f\n", 49 + rand() * 5.85, 14.1 + rand() * 10.05 }' > "$work/points.txt"
"$build/bench/geodata/kl_bench_geodata_transforms" "$work/points.txt"
coords_ours() { "$build/tools/coords/kartolink-coords" --from 4326 --to 2180 < "$work/points.txt" > "$work/ours.txt"; }
coords_proj() { cs2cs -f %.3f EPSG:4326 EPSG:2180 < "$work/points.txt" > "$work/proj.txt"; }
alternate coords_ours coords_proj
ours=$(median < "$work/coords_ours.times"); proj=$(median < "$work/coords_proj.times")
echo "medians of $rounds alternating rounds: kartolink-coords $ours s, cs2cs $proj s (text in and out); kartolink-coords is $(ratio "$proj" "$ours")x faster"

echo "== 50 MB GML collection (repeated real sample)"
python3 "$root/bench/geodata/make_gml_collection.py" \
  "$samples/gml/egibplb__warszawa_gml_multiple_polygons.xml" "$work/big.gml" 50
size=$(stat -c %s "$work/big.gml")
gml_ours() { "$build/tools/gml/kartolink-gml" "$work/big.gml" > "$work/ours.geojson" 2>/dev/null; }
gml_gdal() {
  rm -f "$work/big.geojson"
  env -u no_proxy -u NO_PROXY http_proxy=http://127.0.0.1:9 https_proxy=http://127.0.0.1:9 \
    GDAL_HTTP_PROXY=127.0.0.1:9 GDAL_HTTP_TIMEOUT=1 \
    ogr2ogr --config GML_DOWNLOAD_WFS_SCHEMA NO -oo WRITE_GFS=NO -f GeoJSON -t_srs EPSG:2180 \
    "$work/big.geojson" "$work/big.gml" 2>/dev/null
}
alternate gml_ours gml_gdal
ours=$(median < "$work/gml_ours.times"); gdal=$(median < "$work/gml_gdal.times")
echo "medians of $rounds alternating rounds: kartolink-gml $ours s ($(echo "scale=1; $size / 1000000 / $ours" | bc -l) MB/s), ogr2ogr $gdal s ($(echo "scale=1; $size / 1000000 / $gdal" | bc -l) MB/s); ratio $(ratio "$gdal" "$ours")x"

"$build/bench/geodata/kl_bench_geodata_gml" "$work/big.gml" 3

echo "== 100 MB GML document, peak memory"
rm -f "$work/big.gml" "$work/big.geojson"
python3 "$root/bench/geodata/make_gml_collection.py" \
  "$samples/gml/egibplb__warszawa_gml_multiple_polygons.xml" "$work/huge.gml" 100
"$build/bench/geodata/kl_bench_geodata_gml" "$work/huge.gml" 1
