#!/usr/bin/env bash
# Crude's reach check against exact counts: on formulas where crude falls short (the 10 x 10,
# 12 x 12 and 16 x 16 grids) it should fire, on formulas where crude is right at the N a user
# would pick (the 6 x 6 grid, random 3-CNF 40/400 and 50/250, the hypercube Q5) it should stay
# silent. For every formula and N it runs SEEDS seeds of `monocount --seed s --N N --R R` (the
# classic crude sequence, in process) and prints a Markdown row: how often the warning fired,
# the share of the count the check expects the run to miss, the error of the pooled estimate
# against the exact count and how often the pooled 95 % interval excluded the truth. A row
# where fewer than 9 in 10 seeds do what is expected is marked (!). Builds Release first.
#
#   bench/reach.sh [--quick]
#
#   --quick   only N = 10^4 and 10^5, for a smoke run (the full run takes about ten CPU minutes)
#
# Environment: BUILD_DIR (default build), JOBS (build parallelism), SEEDS (default 10), R
# (replications per run, default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    *) echo "usage: bench/reach.sh [--quick]" >&2; exit 2 ;;
  esac
done

build="${BUILD_DIR:-build}"
seeds="${SEEDS:-10}"
replications="${R:-3}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target reach_table >/dev/null
table="$build/bench/reach_table"

sizes=(10000 100000 1000000)
wide=(10000 100000 1000000 10000000)
if ((quick)); then
  sizes=(10000 100000)
  wide=(10000 100000)
fi

"$table" header
# shellcheck disable=SC2086
for family in "grid 10 10:${wide[*]}" "grid 12 12:${sizes[*]}" "grid 16 16:${sizes[*]}"; do
  for n in ${family#*:}; do "$table" row fires "$seeds" "$n" "$replications" ${family%%:*}; done
done
for family in "grid 6 6" "random3 40 400 1" "random3 50 250 1" "hypercube 5"; do
  # 10^4 samples in all, then N samples in each of R replications.
  "$table" row silent "$seeds" 10000 1 $family
  for n in "${sizes[@]}"; do "$table" row silent "$seeds" "$n" "$replications" $family; done
done
