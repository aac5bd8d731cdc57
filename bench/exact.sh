#!/usr/bin/env bash
# Figures of the exact counter on the formulas it is meant for: for each, the decomposition
# found, the plan's estimates, CPU seconds and memory of the run, and the answers checked
# against independent references (see bench/tools/exact_bench.cpp). Each run is one process
# under /usr/bin/time -v, whose maximum resident set size is printed beside the plan's estimate.
# One thread unless THREADS says otherwise. Builds Release first. Takes about two minutes on
# one core, most of it the 14 x 14 torus and the 24 x 24 grid (--quick leaves those out). Last,
# only the plans of two formulas beyond the exact counter's reach, which --method auto leaves
# to split: the 31 x 31 grid and a random 3-CNF of 1,000 variables.
#
#   bench/exact.sh [--quick]
#
# BUILD_DIR (default build) selects the build directory; JOBS the build parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    *) echo "usage: bench/exact.sh [--quick]" >&2; exit 2 ;;
  esac
done

build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target exact_bench >/dev/null
tool="$build/bench/exact_bench"
threads="${THREADS:-1}"

# options|formula
runs=(
  "|path 10000"
  "--spectrum|path 10000"
  "--law 1|path 10000"
  "|path 100000"
  "--law 1|path 100000"
  "|tree 10000 3"
  "--spectrum|tree 10000 3"
  "--law 1|tree 10000 3"
  "|king 12 12"
  "--spectrum --probability 0.5 --law 1|king 12 12"
  "|grid 20 20"
  "--spectrum --probability 0.5|grid 20 20"
  "--law 1|grid 20 20"
)
if [[ $quick == 0 ]]; then
  runs+=("|grid 24 24" "|torus 14 14")
fi
runs+=("--plan|grid 31 31" "--plan|random3 1000 4000 1")

for run in "${runs[@]}"; do
  options="${run%%|*}"
  formula="${run#*|}"
  echo "== exact_bench --threads $threads $options $formula"
  # shellcheck disable=SC2086  # the options and the formula are words
  /usr/bin/time -v "$tool" --threads "$threads" $options $formula 2>"$build/exact_time.txt" | grep -v '^order'
  grep -E 'Maximum resident set size|Elapsed' "$build/exact_time.txt" | sed 's/^\s*/   /'
done
