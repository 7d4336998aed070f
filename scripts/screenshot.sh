#!/usr/bin/env bash
# Starts the program under Xvfb and saves a screenshot of the screen: screenshot.sh OUT.png [seconds] [args...]
set -euo pipefail
out=${1:-shot.png}; wait=${2:-4}; shift $(( $# > 2 ? 2 : $# )) || true
bin=${ORVALIS_BIN:-build/src/app/orvalis}
xvfb-run -a -s "-screen 0 1024x700x24" bash -c "
  $bin \"\$@\" & pid=\$!
  sleep $wait
  import -window root '$out'
  kill \$pid" -- "$@"
