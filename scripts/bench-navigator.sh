#!/usr/bin/env bash
# orvalis-cli's navigator formats against GPSBabel: OV2 to GPI (one category,
# a 300 m alert on every POI), OV2 to ASC, GPX to KMZ; wall time and peak
# memory of each; appends a table to bench/README.md.
#   scripts/bench-navigator.sh BUILD_DIR [SIZES...]    (default 20000 1000000)
set -euo pipefail
build=${1:-build}; shift || true
sizes=("${@:-20000 1000000}")
. "$(dirname "$0")/bench-common.sh"
limit=${GPSBABEL_LIMIT:-600}  # seconds GPSBabel is given for one job

# "seconds MiB" of one run, or ">limit –" when it does not finish in time.
run() {
  local s e kib status=0
  s=$(date +%s.%N)
  kib=$(/usr/bin/time -f '%M' timeout "$limit" "$@" 2>&1 >/dev/null | tail -1) || status=$?
  e=$(date +%s.%N)
  if [ "$status" -ne 0 ]; then echo ">$limit –"; return; fi
  printf '%.2f %.1f\n' "$(echo "$e - $s" | bc -l)" "$(echo "$kib / 1024" | bc -l)"
}
cell() { [[ $1 == ">"* ]] && echo "$1 s" || echo "$1 s, $2 MiB"; }

{
  echo
  echo "## Navigator formats: orvalis-cli against GPSBabel"
  echo
  echo "Wall time and peak resident memory of the whole process; GPSBabel is given ${limit} s a job. GPI: one"
  echo "category and a 300 m proximity alert on every POI (\`--gpi-category Radars --gpi-alert-m 300\`,"
  echo "\`garmin_gpi,category=Radars,proximity=300m\`). GPSBabel writes no KMZ."
  echo
  echo "| POIs | job | input | orvalis-cli | GPSBabel |"
  echo "|---|---|---|---|---|"
} >> "$out"
for n in ${sizes[@]}; do
  [ -f "$data/$n.ov2" ] || "$build/bench/generate_pois" "$n" "$data/$n.ov2" "$data/$n.gpx"
  ov2=$data/$n.ov2 gpx=$data/$n.gpx
  read -r t m < <(run "$cli" convert "$ov2" "$data/nav.gpi" --gpi-category Radars --gpi-alert-m 300)
  read -r gt gm < <(run gpsbabel -i tomtom -f "$ov2" -o garmin_gpi,category=Radars,proximity=300m -F "$data/nav-gb.gpi")
  echo "| $n | OV2 → GPI | $(du -h "$ov2" | cut -f1) | $(cell "$t" "$m") | $(cell "$gt" "$gm") |" >> "$out"
  read -r t m < <(run "$cli" convert "$ov2" "$data/nav.asc")
  read -r gt gm < <(run gpsbabel -i tomtom -f "$ov2" -o tomtom_asc -F "$data/nav-gb.asc")
  echo "| $n | OV2 → ASC | $(du -h "$ov2" | cut -f1) | $(cell "$t" "$m") | $(cell "$gt" "$gm") |" >> "$out"
  read -r t m < <(run "$cli" convert "$gpx" "$data/nav.kmz")
  echo "| $n | GPX → KMZ | $(du -h "$gpx" | cut -f1) | $(cell "$t" "$m") | – |" >> "$out"
  read -r t m < <(run "$cli" convert "$data/nav.gpi" "$data/nav-back.ov2")
  read -r gt gm < <(run gpsbabel -i garmin_gpi -f "$data/nav.gpi" -o tomtom -F "$data/nav-back-gb.ov2")
  echo "| $n | GPI → OV2 | $(du -h "$data/nav.gpi" | cut -f1) | $(cell "$t" "$m") | $(cell "$gt" "$gm") |" >> "$out"
done
