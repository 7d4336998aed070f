#!/usr/bin/env bash
# orvalis-cli and the window on realistic files (long descriptions, accents,
# Cyrillic, Greek, Japanese, Polish) against the read floor and GPSBabel;
# appends a table to bench/README.md.
#   scripts/bench-realistic.sh BUILD_DIR [SIZES...]    (default 10000 200000 1000000)
set -euo pipefail
build=${1:-build}; shift || true
sizes=("${@:-10000 200000 1000000}")
. "$(dirname "$0")/bench-common.sh"

# Median wall seconds of N runs, and peak resident KiB of the last one.
measure() {
  local n=$1; shift
  local times=() kib=0
  for _ in $(seq "$n"); do
    local s e
    s=$(date +%s.%N)
    kib=$(/usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1)
    e=$(date +%s.%N)
    times+=("$(echo "$e - $s" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk -v k="$kib" '{a[NR]=$1} END {printf "%.3f %s\n", a[int((NR+1)/2)], k}'
}
floor() { "$build/bench/read_floor" "$1" | awk '{printf "%.3f", $1 / 1000}'; }
fmt() { printf '%.3f' "$1"; }
per() { echo "$1 * 1000000 / $2" | bc -l | xargs printf '%.2f'; }              # µs/POI
mib() { echo "$1 / 1024" | bc -l | xargs printf '%.1f'; }                      # MiB
ratio() { echo "$2 / $1" | bc -l | xargs printf '%.1f'; }

{
  echo
  echo "## Realistic files: orvalis-cli against the read floor and GPSBabel"
  echo
  echo "\`generate_pois N OV2 GPX --realistic\`: waypoints with ele, time, name, desc and sym; French names"
  echo "with accents, 5 % Cyrillic, 1 % Greek, Japanese or Polish; a desc of 20–900 characters (mostly short)"
  echo "on 60 % of them. The read floor reads the file in 1 MiB blocks and finds every '<' with memchr (GPX)"
  echo "or walks every record length (OV2). Times are medians of 3 runs (1 above 1,000,000); memory is the"
  echo "peak resident size of the whole process. \`near --at\` streams and keeps every field; \`near --base\`"
  echo "is the window's selection (the file's coordinates held, the rows written as the window writes them)."
  echo
  echo "| POIs | job | file | read floor | orvalis-cli | µs/POI | × floor | peak MiB | peer | peer time | peer ÷ orvalis |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|"
} >> "$out"
for n in ${sizes[@]}; do
  g=$data/r$n.gpx o=$data/r$n.ov2
  [ -f "$g" ] || "$build/bench/generate_pois" "$n" "$o" "$g" --realistic
  runs=3; [ "$n" -gt 1000000 ] && runs=1
  base=$(LC_ALL=C "$cli" table "$o" | head -1 || true)
  lat=$(echo "$base" | cut -f2); lon=$(echo "$base" | cut -f3)
  job() {  # name, input, orvalis args..., --, the peer's command...
    local name=$1 in=$2; shift 2
    local mine=() theirs=()
    while [ "$1" != "--" ]; do mine+=("$1"); shift; done; shift
    theirs=("$@")
    read -r t kib < <(measure "$runs" "$cli" "${mine[@]}")
    read -r tg _ < <(measure 1 "${theirs[@]}")
    local fl; fl=$(floor "$in")
    echo "| $n | $name | $(du -h "$in" | cut -f1) | $(fmt "$fl") s | $(fmt "$t") s | $(per "$t" "$n") | $(ratio "$fl" "$t") | $(mib "$kib") | ${theirs[0]} | $(fmt "$tg") s | $(ratio "$t" "$tg")× |" >> "$out"
  }
  job "GPX → OV2" "$g" convert "$g" "$data/x.ov2" -- gpsbabel -i gpx -f "$g" -o tomtom -F "$data/gb.ov2"
  job "OV2 → GPX" "$o" convert "$o" "$data/x.gpx" -- gpsbabel -i tomtom -f "$o" -o gpx -F "$data/gb.gpx"
  job "GPX → CSV" "$g" convert "$g" "$data/x.csv" -- gpsbabel -i gpx -f "$g" -o unicsv -F "$data/gb.csv"
  rm -f "$data/ogr.csv"
  job "GPX → CSV" "$g" convert "$g" "$data/x.csv" -- ogr2ogr -f CSV -lco GEOMETRY=AS_XY "$data/ogr.csv" "$g" waypoints
  job "near --at 50 km, GPX" "$g" near "$g" "$data/n.gpx" --at "$lat" "$lon" --radius-km 50 -- gpsbabel -i gpx -f "$g" -x radius,distance=50K,lat="$lat",lon="$lon" -o gpx -F "$data/gb-n.gpx"
  job "near --at 50 km, OV2" "$o" near "$o" "$data/n.ov2" --at "$lat" "$lon" --radius-km 50 -- gpsbabel -i tomtom -f "$o" -x radius,distance=50K,lat="$lat",lon="$lon" -o tomtom -F "$data/gb-n.ov2"
  job "near --base 50 km, GPX" "$g" near "$g" "$data/n.gpx" --base 1 --radius-km 50 -- gpsbabel -i gpx -f "$g" -x radius,distance=50K,lat="$lat",lon="$lon" -o gpx -F "$data/gb-n.gpx"
  job "near --base 50 km, OV2" "$o" near "$o" "$data/n.ov2" --base 1 --radius-km 50 -- gpsbabel -i tomtom -f "$o" -x radius,distance=50K,lat="$lat",lon="$lon" -o tomtom -F "$data/gb-n.ov2"
done
n1m=1000000
if [[ " ${sizes[*]} " == *" $n1m "* ]]; then
  {
    echo
    echo "### The first tab in the real window, 1,000,000 realistic POIs (\`gui_bench\`, offscreen, fr_FR)"
    for f in ov2 gpx; do
      echo
      echo "$f ($(du -h "$data/r$n1m.$f" | cut -f1)):"
      echo '```'
      LC_ALL=fr_FR.UTF-8 QT_QPA_PLATFORM=offscreen "$build/bench/gui_bench" "$data/r$n1m.$f" 2>/dev/null
      echo '```'
    done
  } >> "$out"
fi
