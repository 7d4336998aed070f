#!/usr/bin/env bash
# orvalis-cli's dedupe, along and format conversions against GPSBabel's
# equivalents on the same generated GPX; appends a table to bench/README.md.
#   scripts/bench-cli-jobs.sh BUILD_DIR [SIZES...]
set -euo pipefail
build=${1:-build}; shift || true
sizes=("${@:-200000 1000000}")
. "$(dirname "$0")/bench-common.sh"
limit=${GPSBABEL_LIMIT:-600}  # seconds GPSBabel is given for one job

# Wall time of one run, or ">limit" when it does not finish.
timed() {
  local s e
  s=$(date +%s.%N)
  if ! timeout "$limit" "$@" >/dev/null 2>&1; then echo ">$limit"; return; fi
  e=$(date +%s.%N)
  echo "$e - $s" | bc -l | xargs printf '%.2f'
}
ratio() { [[ $2 == ">"* ]] && echo "≥$(echo "${2#>} / $1" | bc -l | xargs printf '%.0f')×" || echo "$(echo "$2 / $1" | bc -l | xargs printf '%.1f')×"; }
wpts() { grep -c '<wpt' "$1" 2>/dev/null || echo 0; }
# GPSBabel's count, or "–" when it did not finish.
gbwpts() { [[ $1 == ">"* ]] && echo "–" || wpts "$2"; }

# A winding 10,000-point track across the generated area, as GPX and as an arc file.
if [ ! -f "$data/route.gpx" ]; then
  awk 'BEGIN { srand(42); lat = 42.2; lon = -4.8;
         print "<gpx><trk><trkseg>" > "'"$data"'/route.gpx"; 
         for (i = 0; i < 10000; i++) { lat += 0.0009 + (rand() - 0.5) * 0.002; lon += 0.0013 + (rand() - 0.5) * 0.003;
           printf "<trkpt lat=\"%.6f\" lon=\"%.6f\"/>\n", lat, lon > "'"$data"'/route.gpx";
           printf "%.6f %.6f\n", lat, lon > "'"$data"'/route.arc" }
         print "</trkseg></trk></gpx>" > "'"$data"'/route.gpx" }'
fi

{
  echo
  echo "## orvalis-cli jobs against GPSBabel (GPX in; GPSBabel given ${limit} s a job)"
  echo
  echo "| POIs | job | orvalis-cli | GPSBabel | ratio | POIs out (orvalis / GPSBabel) |"
  echo "|---|---|---|---|---|---|"
} >> "$out"
for n in ${sizes[@]}; do
  in=$data/$n.gpx
  rm -f "$data"/dd-gb.gpx "$data"/al-gb.gpx
  [ -f "$in" ] || "$build/bench/generate_pois" "$n" "$data/$n.ov2" "$in"
  # dedupe within 50 m / position filter
  t1=$(timed "$cli" dedupe "$in" "$data/dd.gpx" --within-m 50)
  t2=$(timed gpsbabel -i gpx -f "$in" -x position,distance=50m -o gpx -F "$data/dd-gb.gpx")
  echo "| $n | dedupe 50 m / \`-x position,distance=50m\` | $t1 s | $t2 s | $(ratio "$t1" "$t2") | $(wpts "$data/dd.gpx") / $(gbwpts "$t2" "$data/dd-gb.gpx") |" >> "$out"
  # along a 10,000-point track within 1 km / arc filter
  t1=$(timed "$cli" along "$data/route.gpx" "$in" "$data/al.gpx" --within-km 1)
  t2=$(timed gpsbabel -i gpx -f "$in" -x arc,file="$data/route.arc",distance=1k -o gpx -F "$data/al-gb.gpx")
  echo "| $n | along 1 km of a 10,000-point track / \`-x arc\` | $t1 s | $t2 s | $(ratio "$t1" "$t2") | $(wpts "$data/al.gpx") / $(gbwpts "$t2" "$data/al-gb.gpx") |" >> "$out"
  # conversions between the new formats
  "$cli" convert "$in" "$data/c.csv" >/dev/null
  t1=$(timed "$cli" convert "$in" "$data/c.kml")
  t2=$(timed gpsbabel -i gpx -f "$in" -o kml -F "$data/c-gb.kml")
  echo "| $n | GPX → KML | $t1 s | $t2 s | $(ratio "$t1" "$t2") | – |" >> "$out"
  t1=$(timed "$cli" convert "$in" "$data/c.geojson")
  t2=$(timed gpsbabel -i gpx -f "$in" -o geojson -F "$data/c-gb.geojson")
  echo "| $n | GPX → GeoJSON | $t1 s | $t2 s | $(ratio "$t1" "$t2") | – |" >> "$out"
done
echo >> "$out"
echo "GPSBabel's position filter drops every point within the distance of one kept before it, as dedupe does;" >> "$out"
echo "its arc filter measures to the track's segments, as along does (with its own earth radius)." >> "$out"
