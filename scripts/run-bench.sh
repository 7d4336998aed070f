#!/usr/bin/env bash
# Benchmarks of the engine and orvalis-cli against GPSBabel; writes bench/README.md.
#   scripts/run-bench.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
data=$build/bench-data
mkdir -p "$data"
need=()
command -v gpsbabel >/dev/null || need+=(gpsbabel)
command -v ogr2ogr >/dev/null || need+=(gdal-bin)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq && DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${need[@]}"
fi
export LC_ALL=C
cli=$build/cli/orvalis-cli

# Median wall time in seconds of a command run N times.
median() {
  local n=$1; shift
  local times=()
  for _ in $(seq "$n"); do
    local s e
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    times+=("$(echo "$e - $s" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'
}
peak_kib() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident/ {gsub(/ /,"",$2); print $2}'; }

out=$root/bench/README.md
{
  echo "# Benchmarks"
  echo
  echo "Made by \`make bench\` (\`scripts/run-bench.sh\`) on $(date -u +%Y-%m-%d): $(nproc) cores,"
  echo "$(awk -F: '/model name/ {print $2; exit}' /proc/cpuinfo | sed 's/^ *//'), $(free -g | awk '/Mem:/ {print $2}') GiB."
  echo "Files from \`generate_pois\` (French-style names with accents, one in twenty non-Latin). Times are"
  echo "medians of several runs."
  echo
} > "$out"

for n in 10000 100000 1000000; do
  [ -f "$data/$n.ov2" ] || "$build/bench/generate_pois" "$n" "$data/$n.ov2" "$data/$n.gpx"
done

{
  echo "## Engine (\`core_bench\`, fr_FR collation)"
  echo
  for n in 10000 100000 1000000; do
    for fmt in ov2 gpx; do
      echo "### $n POIs, $fmt ($(du -h "$data/$n.$fmt" | cut -f1))"
      echo '```'
      LC_ALL=fr_FR.UTF-8 "$build/bench/core_bench" "$data/$n.$fmt" 3
      echo '```'
    done
  done
  echo
  echo "## The first tab in the real window (\`gui_bench\`, offscreen, 1,000,000 POIs)"
  echo '```'
  LC_ALL=fr_FR.UTF-8 QT_QPA_PLATFORM=offscreen "$build/bench/gui_bench" "$data/1000000.ov2" 2>/dev/null
  echo '```'
} >> "$out"

# near end to end, against GPSBabel keeping the same radius on the same GPX.
{
  echo
  echo "## \`orvalis-cli near\` against GPSBabel (GPX in, GPX out, radius 100 km)"
  echo
  echo "| POIs | orvalis-cli near | GPSBabel radius filter | ratio | kept (orvalis / GPSBabel) | orvalis peak memory beyond the file |"
  echo "|---|---|---|---|---|---|"
} >> "$out"
for n in 10000 100000 1000000; do
  in=$data/$n.gpx
  base=$("$cli" table "$in" | head -1 || true)
  lat=$(echo "$base" | cut -f2); lon=$(echo "$base" | cut -f3)
  runs=5; [ "$n" -ge 1000000 ] && runs=3
  t_cli=$(median $runs "$cli" near "$in" --base 1 --radius-km 100 "$data/near.gpx")
  kept_cli=$("$cli" near "$in" --base 1 --radius-km 100 "$data/near.gpx" | cut -d' ' -f1)
  t_gb=$(median $runs gpsbabel -i gpx -f "$in" -x radius,distance=100K,lat="$lat",lon="$lon" -o gpx -F "$data/gb.gpx")
  kept_gb=$(grep -c '<wpt' "$data/gb.gpx" || true)
  kib=$(peak_kib "$cli" near "$in" --base 1 --radius-km 100 "$data/near.gpx")
  size=$(stat -c %s "$in")
  per=$(echo "($kib * 1024 - $size) / $n" | bc)
  ratio=$(echo "$t_gb / $t_cli" | bc -l | xargs printf '%.1f')
  echo "| $n | ${t_cli} s | ${t_gb} s | ${ratio}× | $kept_cli / $kept_gb | $per B/POI |" >> "$out"
done
echo >> "$out"
echo "Targets: 1M POIs, OV2 load ≤ 0.5 s, distance run + sort ≤ 1.5 s, GPX \`near\` ≥ 4× faster than GPSBabel," >> "$out"
echo "peak memory ≤ 250 B/POI beyond the file." >> "$out"
"$root/scripts/bench-cli-jobs.sh" "$build"
"$root/scripts/bench-realistic.sh" "$build" ${BENCH_SIZES:-10000 200000 1000000}
"$root/scripts/bench-navigator.sh" "$build"
cat "$out"
