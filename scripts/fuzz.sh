#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time:
#   scripts/fuzz.sh SECONDS_PER_TARGET
# Corpora are seeded from the test files and ../shared/testdata/real-world and
# kept in build-fuzz/corpus between runs. Exits non-zero when a target fails.
set -euo pipefail
seconds=${1:-300}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
need=()
command -v clang++ >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DORVALIS_FUZZ=ON -DORVALIS_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "$(nproc)"

corpus=$build/corpus
shared=$root/../shared/testdata/real-world
mkdir -p "$corpus"/{ov2_reader,gpx_reader,read_decimal,pin_scans,page_text,cli_formats,two_readers,blocks,gpi_reader,kmz_reader,csv_roundtrip}
cp -n "$root"/tests/data/hostile/*.ov2 "$corpus/ov2_reader/" 2>/dev/null || true
cp -n "$root"/tests/data/hostile/*.gpx "$corpus/gpx_reader/" 2>/dev/null || true
cp -n "$root"/tests/data/hostile/*.ov2 "$root"/tests/data/hostile/*.gpx "$corpus/two_readers/" 2>/dev/null || true
cp -n "$root"/tests/data/navigator/*.gpi "$corpus/gpi_reader/" 2>/dev/null || true
cp -n "$root"/tests/data/navigator/*.kmz "$corpus/kmz_reader/" 2>/dev/null || true
if [ -d "$shared" ]; then
  cp -n "$shared"/*.ov2 "$corpus/ov2_reader/" 2>/dev/null || true
  cp -n "$shared"/*.gpx "$corpus/gpx_reader/" 2>/dev/null || true
fi
printf 'name,lat,lon,desc\n"A, b",48.5,2.5,"x ""y"""\n2.35,48.85,Nord,c\n' > "$corpus/cli_formats/csv"
printf 'name,lat,lon,;;;;,desc\n"A, b",48.5,2.5,x,"x ""y"""\n' > "$corpus/csv_roundtrip/separators"
printf 'lat\tlon\tname|x\n1\t2\tCaf\xe9\n' > "$corpus/csv_roundtrip/tabs"
printf '{"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[2.3,48.8]},"properties":{"name":"a"}}]}' > "$corpus/cli_formats/geojson"
printf '<kml><Placemark><name>a &amp; b</name><Point><coordinates>2.3,48.8,0</coordinates></Point></Placemark></kml>' > "$corpus/cli_formats/kml"
printf '<gpx><trk><trkseg><trkpt lat="1" lon="2"/></trkseg></trk></gpx>' > "$corpus/cli_formats/route"
# The block reader's seeds: the same files, behind a byte that picks the block size.
for f in "$corpus"/cli_formats/* "$corpus"/gpx_reader/* "$corpus"/ov2_reader/*; do
  [ -f "$f" ] && { printf '\x06'; cat "$f"; } > "$corpus/blocks/seed-$(basename "$f")"
done
i=0
for s in "48,8531" "-4.49448" " 1e5 " "+0,5" "1.000,5" "12 km" "9999999999999999999999,5" "1E-400"; do
  printf '%s' "$s" > "$corpus/read_decimal/seed$i"; i=$((i+1))
done
printf '48.853200, 2.348900\nLeaflet | (c) OpenStreetMap contributors, Legendes\n' > "$corpus/pin_scans/add"
printf 'Map\nL\xc3\xa9gendes\nD\xc3\xa9placez la punaise\n-33.868820, 151.209296\nSydney\n' > "$corpus/pin_scans/move"
printf '%s' "</script><img src=x onerror=alert(1)>" > "$corpus/page_text/script"
printf "L'\xc3\x89glise \"Saint\" \\\\ \xd0\x9c\xd0\xbe\xd1\x81\n" > "$corpus/page_text/quotes"

status=0
summary=()
for t in ov2_reader gpx_reader read_decimal pin_scans page_text cli_formats two_readers blocks gpi_reader kmz_reader csv_roundtrip; do
  log=$build/$t.log
  extra=()
  # Inputs up to 1 MB, so that shapes costing more than their size show as time-outs.
  [ "$t" = gpx_reader ] && extra=(-max_len=1048576 -len_control=0)
  # Small inputs keep a run cheap: a GPI is written to a temporary file, a KMZ deflated, for each.
  [ "$t" = gpi_reader ] || [ "$t" = kmz_reader ] && extra=(-max_len=16384)
  if "$build/fuzz/${t}_fuzz" "$corpus/$t" "${extra[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build/$t-" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED; status=1
  fi
  runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo '?')
  cov=$(grep -Eo 'cov: [0-9]+' "$log" | tail -1 | grep -Eo '[0-9]+' || echo '?')
  summary+=("$t: $result, $runs executions, coverage $cov edges")
  [ "$result" = ok ] || tail -30 "$log"
done
printf '%s\n' "${summary[@]}"
exit $status
