#!/usr/bin/env bash
# `make bench`: the jobs of the speed targets on realistic files, each against
# GPSBabel and the read floor measured in the same run, with peak memory, and
# the window's steps (gui_bench) in two locales; writes bench/README.md.
#   scripts/run-bench.sh BUILD_DIR      (BENCH_LARGE=1 adds 5,000,000 POIs)
set -euo pipefail
build=${1:-build}
. "$(dirname "$0")/bench-common.sh"
need=()
command -v gpsbabel >/dev/null || need+=(gpsbabel)
[ -x /usr/bin/time ] || need+=(time)
command -v bc >/dev/null || need+=(bc)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq && DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${need[@]}"
fi
sizes=(200000 1000000)
[ "${BENCH_LARGE:-0}" = 1 ] && sizes+=(5000000)

# Median wall seconds of N runs, and the peak resident KiB of the last one.
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
mib() { echo "$1 / 1024" | bc -l | xargs printf '%.1f'; }
ratio() { echo "$2 / $1" | bc -l | xargs printf '%.1f'; }

{
  echo "# Benchmarks"
  echo
  echo "Made by \`make bench\` (\`scripts/run-bench.sh\`; \`BENCH_LARGE=1\` adds 5,000,000 POIs) on $(date -u +%Y-%m-%d):"
  echo "$(nproc) cores, $(awk -F: '/model name/ {print $2; exit}' /proc/cpuinfo | sed 's/^ *//'), $(free -g | awk '/Mem:/ {print $2}') GiB;"
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg) when it started (a shared machine makes every time longer,"
  echo "the ratios measured in the same run much less so)."
  echo
  echo "Files from \`generate_pois N OV2 GPX --realistic\`: waypoints with ele, time, name, desc and sym; French"
  echo "names with accents, 5 % Cyrillic, 1 % Greek, Japanese or Polish; a desc of 20–900 characters on 60 %"
  echo "of them. The read floor reads the file in 1 MiB blocks and finds every '<' with memchr (GPX) or walks"
  echo "every record length (OV2), measured just before each job. orvalis-cli times are medians of 3 runs (1"
  echo "above 1,000,000), GPSBabel's of 1; memory is the peak resident size of the whole process."
  echo "\`near --base 1 --radius-km 50\` is the window's selection after a load and \"Calculer\" from row 1;"
  echo "GPSBabel's radius filter (\`-x radius,lat=..,lon=..,distance=50K\`) keeps the POIs around the same point."
  echo
  echo "| POIs | job | file | read floor | orvalis-cli | × floor | peak MiB | GPSBabel | GPSBabel ÷ orvalis |"
  echo "|---|---|---|---|---|---|---|---|---|"
} > "$out"
for n in "${sizes[@]}"; do
  g=$data/r$n.gpx o=$data/r$n.ov2
  [ -f "$g" ] && [ -f "$o" ] || "$build/bench/generate_pois" "$n" "$o" "$g" --realistic >/dev/null
  runs=3; [ "$n" -gt 1000000 ] && runs=1
  base=$("$cli" table "$o" | head -1 || true)
  lat=$(echo "$base" | cut -f2); lon=$(echo "$base" | cut -f3)
  job() {  # name, input, orvalis arguments..., --, GPSBabel's command...
    local name=$1 in=$2; shift 2
    local mine=() theirs=()
    while [ "$1" != "--" ]; do mine+=("$1"); shift; done; shift
    theirs=("$@")
    local fl; fl=$(floor "$in")
    read -r t kib < <(measure "$runs" "$cli" "${mine[@]}")
    read -r tg _ < <(measure 1 "${theirs[@]}")
    echo "| $n | $name | $(du -h "$in" | cut -f1) | $(fmt "$fl") s | $(fmt "$t") s | $(ratio "$fl" "$t") | $(mib "$kib") | $(fmt "$tg") s | $(ratio "$t" "$tg")× |" >> "$out"
  }
  job "convert GPX → OV2" "$g" convert "$g" "$data/x.ov2" -- gpsbabel -i gpx -f "$g" -o tomtom -F "$data/gb.ov2"
  job "convert OV2 → GPX" "$o" convert "$o" "$data/x.gpx" -- gpsbabel -i tomtom -f "$o" -o gpx -F "$data/gb.gpx"
  job "near --base 50 km, GPX" "$g" near "$g" "$data/n.gpx" --base 1 --radius-km 50 -- gpsbabel -i gpx -f "$g" -x radius,distance=50K,lat="$lat",lon="$lon" -o gpx -F "$data/gb-n.gpx"
  job "near --base 50 km, OV2" "$o" near "$o" "$data/n.ov2" --base 1 --radius-km 50 -- gpsbabel -i tomtom -f "$o" -x radius,distance=50K,lat="$lat",lon="$lon" -o tomtom -F "$data/gb-n.ov2"
  # Every POI within the radius: the rows kept grow to the whole file.
  if [ "$n" -le 1000000 ]; then
    job "near --base 20,000 km, OV2" "$o" near "$o" "$data/n.ov2" --base 1 --radius-km 20000 -- gpsbabel -i tomtom -f "$o" -x radius,distance=20000K,lat="$lat",lon="$lon" -o tomtom -F "$data/gb-n.ov2"
  fi
done
{
  echo
  echo "Targets: conversions ≥ 8× faster than GPSBabel and ≤ 4× the read floor; \`near --base\` ≥ 8× faster than"
  echo "GPSBabel's radius filter, ≤ 64 MiB at any size."
} >> "$out"

# The window's steps, in the C and fr_FR locales.
if [ -x "$build/bench/gui_bench" ]; then
  {
    echo
    echo "## The first tab in the real window (\`gui_bench\`, offscreen; locales C and fr_FR)"
    echo
    echo "Targets at 1,000,000 POIs: OV2 load ≤ 0.5 s, \"Calculer\" ≤ 0.3 s, Description sort ≤ 1 s, GPX load ≤ 1 s,"
    echo "in every locale; memory ≤ 250 B/POI after a load and ≤ 350 B/POI at any peak."
  } >> "$out"
  for n in "${sizes[@]}"; do
    for f in ov2 gpx; do
      {
        echo
        echo "$n POIs, $f ($(du -h "$data/r$n.$f" | cut -f1)):"
        echo '```'
        QT_QPA_PLATFORM=offscreen "$build/bench/gui_bench" "$data/r$n.$f" C fr_FR 2>/dev/null
        echo '```'
      } >> "$out"
    done
  done
fi
cat "$out"
