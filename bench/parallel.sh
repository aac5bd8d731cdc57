#!/usr/bin/env bash
# Speed of block streams on worker threads against today's single stream, both methods, on
# the 31 x 31 grid and a random 3-CNF of 1000 variables (bench/tools/parallel_speed: wall and
# CPU seconds, samples per CPU second per worker for 1, 2, 4 and 8 threads, the one-core cost
# of block streams, the wall speedup of 2 threads over 1, and a check that every thread count
# prints the same rows). Builds Release first.
#
#   bench/parallel.sh [--quick]
#
#   --quick  a tenth of the samples, for a smoke run
#
# Wall-time figures need the cores to themselves: run it on an otherwise idle machine (watch
# uptime) and repeat. BUILD_DIR (default build) selects the build directory; JOBS the build
# parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."

scale=10
for arg in "$@"; do
  case "$arg" in
    --quick) scale=1 ;;
    *) echo "usage: bench/parallel.sh [--quick]" >&2; exit 2 ;;
  esac
done

build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target make_formula parallel_speed >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bench/make_formula" grid 31 31 >"$work/grid-31x31.cnf"
"$build/bench/make_formula" random 1000 4000 3 1 >"$work/3cnf-1000-4000.cnf"

# formula, method, samples (roots) per replication (x scale / 10), replications: about one
# CPU second per run (a split root is a whole descent, some 20 ms on these formulas).
runs=(
  "grid-31x31 crude 100000 3"
  "3cnf-1000-4000 crude 60000 3"
  "grid-31x31 split 40 3"
  "3cnf-1000-4000 split 40 3"
)
seed=20240611
echo "$(nproc) cores; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
for run in "${runs[@]}"; do
  read -r name method samples replications <<<"$run"
  samples=$((samples * scale / 10))
  "$build/bench/parallel_speed" "$work/$name.cnf" "$method" "$samples" "$replications" "$seed" 3 || status=1
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
