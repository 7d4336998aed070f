#!/usr/bin/env bash
# Runs every orvalis-cli job on the same inputs with two builds and compares
# exit codes, standard output, standard error and written files byte for byte.
#   scripts/cli-compare.sh OLD_CLI NEW_CLI DATA_DIR [WORK_DIR]
# DATA_DIR holds the inputs: r*.ov2 and r*.gpx (bench/generate_pois --realistic);
# the CSV, GeoJSON, KML and window-CSV inputs are made from the GPX ones by OLD_CLI,
# and the files of ../shared/testdata/real-world are added when they are there.
set -uo pipefail
old=$(realpath "$1") new=$(realpath "$2") data=$(realpath "$3")
work=${4:-$(mktemp -d)}
shared=$(realpath -m "$(dirname "$0")/../../shared/testdata/real-world")
mkdir -p "$work/in"

inputs=()
for g in "$data"/r*.gpx; do
  b=$(basename "$g" .gpx)
  for f in csv geojson kml; do
    [ -f "$work/in/$b.$f" ] || "$old" convert "$g" "$work/in/$b.$f" >/dev/null
  done
  [ -f "$work/in/$b.wcsv.csv" ] || "$old" convert "$g" "$work/in/$b.wcsv.csv" --to window-csv >/dev/null
  inputs+=("$g" "$data/$b.ov2" "$work/in/$b.csv" "$work/in/$b.geojson" "$work/in/$b.kml" "$work/in/$b.wcsv.csv")
done
[ -d "$shared" ] && for f in "$shared"/*.gpx "$shared"/*.ov2; do inputs+=("$f"); done
# Small files of every kind of fault.
small=$work/in/small
mkdir -p "$small"
printf 'lat,lon,name\n48.5,2.5,Gare\n91,0,off\n' > "$small/range.csv"
printf 'lat,lon,name\n48.5,2.5,Gare\nx,y,bad\n' > "$small/bad.csv"
printf 'easting,northing\n1,2\n' > "$small/header.csv"
printf '<kml/>' > "$small/notgpx.gpx"
printf '<gpx/>' > "$small/notkml.kml"
printf 'not json' > "$small/notjson.geojson"
printf '<gpx><rte><rtept lat="1" lon="2"/><rtept lat="3" lon="4"/></rte></gpx>' > "$small/route.gpx"
printf 'hello world' > "$small/text.ov2"
head -c 300 "$data/$(basename "${inputs[1]}")" > "$small/cut.ov2"
printf '\x02\x10\x00\x00\x00\x10\x27\x00\x00\x20\x4e\x00\x00A\x00\x09\x09\x02\x10\x00\x00\x00\x10\x27\x00\x00\x20\x4e\x00\x00B\x00' > "$small/damaged.ov2"
inputs+=("$small"/*)

ext() { case "$1" in *.wcsv.csv) echo csv;; *) echo "${1##*.}";; esac; }
from() { case "$1" in *.wcsv.csv) echo window-csv;; *.json) echo geojson;; *) echo "${1##*.}";; esac; }

# One job: its name, then the arguments (OUT stands for the output folder).
run() {
  local name=$1; shift
  for which in old new; do
    local bin=${!which} dir=$work/$which/$name
    rm -rf "$dir"; mkdir -p "$dir"
    local args=()
    for a in "$@"; do args+=("${a//OUT/$dir}"); done
    (cd "$dir" && LC_ALL=${LOCALE:-C} "$bin" "${args[@]}" <"${STDIN:-/dev/null}" >"$dir/stdout" 2>"$dir/stderr"; echo $? >"$dir/code")
    sed -i "s#$dir#OUT#g" "$dir/stderr"
  done
  if ! diff -r "$work/old/$name" "$work/new/$name" >/dev/null; then
    echo "DIFFERS: $name: $*"
    failed=$((failed + 1))
  fi
  jobs=$((jobs + 1))
}

failed=0 jobs=0
route=$shared/expertgps.gpx
[ -f "$route" ] || route=${inputs[0]}
for in in "${inputs[@]}"; do
  b=$(basename "$in")
  for to in ov2 gpx csv geojson kml; do
    run "$b-convert-$to" convert "$in" OUT/out.$to
    run "$b-near-at-$to" near "$in" OUT/out.$to --at 48.85 2.35 --radius-km 300
    run "$b-near-base-$to" near "$in" OUT/out.$to --base 2 --radius-km 200
    run "$b-dedupe-$to" dedupe "$in" OUT/out.$to --within-m 500
    run "$b-merge-$to" merge "$in" "$in" OUT/out.$to
    run "$b-along-$to" along "$route" "$in" OUT/out.$to --within-km 20
  done
  run "$b-convert-window-csv" convert "$in" OUT/out.csv --to window-csv
  run "$b-convert-gpx11" convert "$in" OUT/out.gpx --gpx11
  run "$b-convert-skip" convert "$in" OUT/out.gpx --skip-invalid
  run "$b-convert-sort-name" convert "$in" OUT/out.gpx --sort name
  run "$b-convert-sort-distance" convert "$in" OUT/out.ov2 --sort distance
  run "$b-near-at-json" near "$in" - --at 48.85 2.35 --radius-km 100 --json
  run "$b-near-at-json-file" near "$in" OUT/out.kml --at 48.85 2.35 --radius-km 100 --json
  run "$b-near-base-json" near "$in" - --base 3 --radius-km 100 --json
  run "$b-near-at-window-csv" near "$in" OUT/out.csv --at 48.85 2.35 --radius-km 100 --to window-csv
  run "$b-near-base-window-csv" near "$in" OUT/out.csv --base 1 --radius-km 100 --to window-csv
  run "$b-dedupe-same-name" dedupe "$in" OUT/out.gpx --within-m 2000 --same-name
  run "$b-dedupe-window-csv" dedupe "$in" OUT/out.csv --within-m 100 --to window-csv
  run "$b-merge-window-csv" merge "$in" "$in" OUT/out.csv --to window-csv
  # A file's own POIs as the route: only small ones (a route of random places the world over takes gigabytes).
  small_input=false; [ "$(stat -c %s "$in")" -lt 1000000 ] && small_input=true
  $small_input && run "$b-along-self" along "$in" "$in" OUT/out.ov2 --within-km 1
  run "$b-along-window-csv" along "$route" "$in" OUT/out.csv --within-km 20 --to window-csv
  run "$b-table" table "$in"
  run "$b-table-base-json" table "$in" --base 2 --json
  STDIN=$in run "$b-stdin-convert" convert - - --from "$(from "$in")" --to ov2
  STDIN=$in run "$b-stdin-near" near - - --from "$(from "$in")" --to gpx --at 48.85 2.35 --radius-km 50
  $small_input && STDIN=$in run "$b-stdin-route" along - "$in" OUT/out.gpx --from "$(from "$in")" --within-km 5
  STDIN=$route run "$b-stdin-route-gpx" along - "$in" OUT/out.gpx --route-from gpx --within-km 5
  LOCALE=fr_FR.UTF-8 run "$b-fr-convert" convert "$in" OUT/out.gpx
  LOCALE=fr_FR.UTF-8 run "$b-fr-table" table "$in" --base 1
  LOCALE=fr_FR.UTF-8 run "$b-fr-near-base" near "$in" OUT/out.csv --base 1 --radius-km 100 --to window-csv
done
# Usage and format errors.
for loc in C fr_FR.UTF-8; do
  LOCALE=$loc run "$loc-help" --help
  LOCALE=$loc run "$loc-unknown-format" convert a.gpx OUT/b.xyz
  LOCALE=$loc run "$loc-unknown-to" convert a.gpx b.gpx --to xyz
  LOCALE=$loc run "$loc-stdin-no-from" convert - b.gpx
  LOCALE=$loc run "$loc-near-window" near "${inputs[0]}" OUT/o.csv --at 1 2 --radius-km 1 --to window-csv
  for f in "$small"/*; do
    LOCALE=$loc run "$loc-$(basename "$f")" convert "$f" OUT/out.gpx
    LOCALE=$loc run "$loc-$(basename "$f")-table" table "$f"
  done
done
echo "$jobs jobs, $failed differ ($work)"
[ "$failed" -eq 0 ]
