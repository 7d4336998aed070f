#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time:
#   scripts/fuzz.sh [--stop-at-first-fault] SECONDS_PER_TARGET
# Each target starts from fuzz/corpus/<target>, the damaged test files and
# ../shared/testdata/real-world, copied into build-fuzz/corpus/<target>: what a
# run finds seeds the next, and the repository's corpus is never written.
# Exits non-zero when a target fails, printing the input that makes it fail;
# with --stop-at-first-fault it stops there.
set -euo pipefail
stop_at_first=0
if [ "${1:-}" = --stop-at-first-fault ]; then
  stop_at_first=1
  shift
fi
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

# FUZZ_TARGETS: the targets to run, in that order (default: all); FUZZ_SKIP:
# targets left out of the run (space-separated), still built.
targets=()
all=()
for f in "$root"/fuzz/*_fuzz.cpp; do all+=("$(basename "$f" _fuzz.cpp)"); done
for t in ${FUZZ_TARGETS:-${all[*]}}; do
  [ -f "$root/fuzz/${t}_fuzz.cpp" ] || { echo "no fuzz target $t" >&2; exit 2; }
  case " ${FUZZ_SKIP:-} " in *" $t "*) echo "$t: left out (FUZZ_SKIP)"; continue ;; esac
  targets+=("$t")
done

corpus=$build/corpus
shared=$root/../shared/testdata/real-world
seed() {  # seed TARGET FILE...: copies the files that exist, keeping what is there
  local t=$1; shift
  mkdir -p "$corpus/$t"
  for f in "$@"; do [ -f "$f" ] && cp -n "$f" "$corpus/$t/"; done
  return 0
}
for t in "${targets[@]}"; do
  seed "$t" "$root/fuzz/corpus/$t"/*
done
seed ov2_reader "$root"/tests/data/hostile/*.ov2 "$shared"/*.ov2
seed gpx_reader "$root"/tests/data/hostile/*.gpx "$shared"/*.gpx
seed two_readers "$root"/tests/data/hostile/*.ov2 "$root"/tests/data/hostile/*.gpx "$shared"/*.ov2 "$shared"/*.gpx
seed cli_formats "$shared"/*.gpx
seed gpi_reader "$root"/tests/data/navigator/*.gpi
seed kmz_reader "$root"/tests/data/navigator/*.kmz
# The block reader's seeds are the files behind a byte that picks the block size.
mkdir -p "$corpus/blocks"
for f in "$shared"/*; do
  [ -f "$f" ] && [ ! -e "$corpus/blocks/real-$(basename "$f")" ] && { printf '\x06'; cat "$f"; } > "$corpus/blocks/real-$(basename "$f")"
done

# Small inputs keep a run cheap (a reader's cost follows its input); the seeds
# longer than that are cut, their heads being what the readers decide on.
max_len() {
  case $1 in
    # Every format read in pieces, or read, written and read back, on each
    # input: a header and a few records keep them above 1,000 runs a second.
    two_readers) echo 2048 ;;
    blocks|cli_formats) echo 1024 ;;
    # The GPX reader, whose cost follows its input most.
    read_decimal|pin_scans|page_text|gpx_reader) echo 4096 ;;
    *) echo 16384 ;;
  esac
}
dictionary() {
  case $1 in
    gpx_reader|two_readers|cli_formats|blocks|kmz_reader) echo "-dict=$root/fuzz/formats.dict" ;;
  esac
}

# No allocation stacks kept: the unwinder, walking libraries built without frame
# pointers, makes a new "stack" of stale words at nearly every allocation, and
# the sanitizer's store of them grew without end (megabytes a second); half the
# time of a run went to it. A fault's own stack is still printed in full.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}

# One target's run: its summary line in $build/$t.summary, false when it failed.
run_target() {
  local t=$1 log=$build/$1.log result took runs cov cpu start
  rm -f "$build/$t"-crash-* "$build/$t"-leak-* "$build/$t"-timeout-* "$build/$t"-oom-* "$build/$t.summary" "$build/$t.failed"
  local extra=(-max_len="$(max_len "$t")")
  local dict
  dict=$(dictionary "$t")
  [ -n "$dict" ] && extra+=("$dict")
  start=$(date +%s)
  # CPU time as well as wall time: on a shared machine it is the steadier measure of a run's cost.
  if { TIMEFORMAT='%U %S'; time "$build/fuzz/${t}_fuzz" "$corpus/$t" "${extra[@]}" -max_total_time="$seconds" \
       -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/$t-" >"$log" 2>&1; } 2>"$build/$t.cpu"; then
    result=ok
  else
    result=FAILED
    touch "$build/$t.failed"
  fi
  took=$(( $(date +%s) - start ))
  runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
  cov=$(grep -Eo 'cov: [0-9]+' "$log" | tail -1 | grep -Eo '[0-9]+' || echo '?')
  cpu=$(awk -v r="$runs" 'NF == 2 && r > 0 {printf "%.3f", ($1 + $2) * 1000 / r}' "$build/$t.cpu")
  echo "$t: $result, $runs executions in ${took} s ($(( runs / (took > 0 ? took : 1) ))/s, ${cpu:-?} ms CPU a run), coverage $cov edges" \
    > "$build/$t.summary"
  [ "$result" = ok ]
}

# As many targets at once as there are cores (FUZZ_JOBS): each run is one process on one core.
jobs=${FUZZ_JOBS:-$(nproc)}
rm -f "$build"/*.failed
started=()
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  if [ $stop_at_first = 1 ] && compgen -G "$build/*.failed" >/dev/null; then
    break
  fi
  run_target "$t" &
  started+=("$t")
done
wait || true

status=0
for t in "${started[@]}"; do
  cat "$build/$t.summary" 2>/dev/null || echo "$t: no summary"
  if [ -e "$build/$t.failed" ]; then
    status=1
    tail -30 "$build/$t.log"
    for input in $(grep -Eo 'Test unit written to [^ ]+' "$build/$t.log" | awk '{print $5}'); do
      echo "reproducer: $input (run again: $build/fuzz/${t}_fuzz $input)"
    done
  fi
done
exit $status
