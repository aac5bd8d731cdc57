#!/usr/bin/env bash
# Samples per second of the classic estimator against the plain reference estimator, measured
# in one process on the same seed, N and R (the printed rows are checked to agree), on the
# target formulas and a few more. Builds Release first.
#
#   bench/speed.sh [--memory] [--quick]
#
#   --memory  also runs monocount with N = 100,000,000 on a 100-variable formula under
#             /usr/bin/time -v and reports its maximum resident set size (takes a while)
#   --quick   a tenth of the samples, for a smoke run
#
# BUILD_DIR (default build) selects the build directory; JOBS the build parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."

memory=0
scale=10
for arg in "$@"; do
  case "$arg" in
    --memory) memory=1 ;;
    --quick) scale=1 ;;
    *) echo "usage: bench/speed.sh [--memory] [--quick]" >&2; exit 2 ;;
  esac
done

build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target monocount make_formula speed_compare >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
make_formula="$build/bench/make_formula"
"$make_formula" grid 31 31 >"$work/grid-31x31.cnf"
"$make_formula" random 1000 4000 3 1 >"$work/3cnf-1000-4000.cnf"
"$make_formula" random 200 2000 3 2 >"$work/3cnf-200-2000.cnf"
"$make_formula" grid 10 10 >"$work/grid-10x10.cnf"
"$make_formula" random 300 20 10 4 >"$work/10cnf-300-20.cnf"
"$make_formula" random 1000 600 2 5 >"$work/2cnf-1000-600.cnf"

# formula, samples per replication (x scale / 10), replications: about half a second of the
# reference per run. The first three are the speed targets; 10cnf-300-20 has short covers
# (about 30% of the order), the others long ones (over 90%).
runs=(
  "grid-31x31 5000 3"
  "3cnf-1000-4000 3000 3"
  "3cnf-200-2000 8000 3"
  "grid-10x10 40000 3"
  "10cnf-300-20 15000 3"
  "2cnf-1000-600 5000 3"
)
seed=20240611
repeats=3

printf '%-16s %6s %6s %12s %12s %7s  %s\n' formula n m "reference/s" "product/s" ratio rows
for run in "${runs[@]}"; do
  read -r name samples replications <<<"$run"
  samples=$((samples * scale / 10))
  line="$("$build/bench/speed_compare" "$work/$name.cnf" "$seed" "$samples" "$replications" "$repeats")"
  IFS=$'\t' read -r _ n m reference product ratio rows <<<"$line"
  printf '%-16s %6s %6s %12s %12s %6.1fx  %s\n' "$name" "$n" "$m" "$reference" "$product" "$ratio" "$rows"
done
echo "(samples per second of process CPU time, fastest of $repeats runs of N x $replications samples; seed $seed;"
echo " \"RE extended\": the plain squared deviations overflow, the product keeps the RE finite)"

if [ "$memory" = 1 ]; then
  echo
  echo "monocount --problem grid-10x10.cnf --N 100000000 --R 1 --seed 1:"
  /usr/bin/time -v "$build/monocount" --problem "$work/grid-10x10.cnf" --N 100000000 --R 1 --seed 1 \
    2>"$work/time.txt" | sed -n '4p'
  rss_kib="$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")"
  echo "maximum resident set size: $((rss_kib / 1024)) MiB (target: below 400 MiB)"
fi
