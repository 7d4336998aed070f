# Sourced by the bench scripts after `build` is set: where things are.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data=$build/bench-data
cli=$build/cli/orvalis-cli
out=$root/bench/README.md
export LC_ALL=C
mkdir -p "$data"
