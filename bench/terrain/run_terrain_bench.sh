#!/bin/sh
# Side-by-side terrain speed against GDAL on the same sheets, alternating round by round so
# that a shared machine's changing speed affects both alike; ratios are medians of pairs.
#  - contours of a 2000 x 2000 sheet every 0.25 m: kartolink-contours (read, trace, GeoJSON)
#    against gdal_contour -f GeoJSON, and our tracing alone;
#  - reading a 2500 x 2500 sheet: readAsciiGrid against gdal_translate -of XYZ.
# usage: bench/terrain/run_terrain_bench.sh BUILD_DIR [ROUNDS]
set -eu
build=${1:?build dir}
rounds=${2:-3}
bench="$build/bench/terrain/kl_terrain_bench"
tool="$build/tools/contours/kartolink-contours"
data="$build/bench-data"
mkdir -p "$data"
[ -f "$data/slope2000.asc" ] || "$bench" make "$data/slope2000.asc" 2000
[ -f "$data/slope2500.asc" ] || "$bench" make "$data/slope2500.asc" 2500

now() { date +%s.%N; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
field() { sed -n "s/.*\"$1\": \([0-9.]*\).*/\1/p"; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)  cores: $(nproc)  rounds: $rounds"
echo "$("$bench" contours "$data/slope2000.asc" 0.25)  (our tracing alone, 2000 x 2000)"
i=0 ; : > "$data/contour_ratios" ; : > "$data/read_ratios"
while [ "$i" -lt "$rounds" ]; do
  t0=$(now); "$tool" "$data/slope2000.asc" --interval 0.25 --out "$data/ours.geojson" 2>/dev/null; t1=$(now)
  rm -f "$data/gdal.geojson"
  gdal_contour -q -i 0.25 -a elev -f GeoJSON "$data/slope2000.asc" "$data/gdal.geojson"; t2=$(now)
  echo "$t0 $t1 $t2" | awk '{printf "%.4f %.4f %.4f\n", $2-$1, $3-$2, ($3-$2)/($2-$1)}' >> "$data/contour_ratios"
  ours=$("$bench" read "$data/slope2500.asc")
  t0=$(now); gdal_translate -q -of XYZ "$data/slope2500.asc" /vsistdout/ > /dev/null; t1=$(now)
  s=$(echo "$ours" | field seconds)
  echo "$t0 $t1 $s $(echo "$ours" | field bytesPerCell)" | awk '{printf "%.4f %.4f %.4f %s\n", $3, $2-$1, ($2-$1)/$3, $4}' >> "$data/read_ratios"
  i=$((i + 1))
done
mb=$(du -m "$data/slope2500.asc" | cut -f1)
echo "contours 2000x2000 @0.25 m: ours $(cut -d' ' -f1 "$data/contour_ratios" | median) s, gdal_contour $(cut -d' ' -f2 "$data/contour_ratios" | median) s, GDAL/ours $(cut -d' ' -f3 "$data/contour_ratios" | median)x"
echo "read 2500x2500 (${mb} MB): ours $(cut -d' ' -f1 "$data/read_ratios" | median) s, gdal_translate XYZ $(cut -d' ' -f2 "$data/read_ratios" | median) s, GDAL/ours $(cut -d' ' -f3 "$data/read_ratios" | median)x, peak $(cut -d' ' -f4 "$data/read_ratios" | median) bytes/cell"
