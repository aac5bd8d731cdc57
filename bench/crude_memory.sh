#!/usr/bin/env bash
# Peak resident memory of crude at scale: the 100 x 100 grid (10,000 variables) and the path of
# 100,000 variables (clauses "i i+1"), on the classic single stream and on block streams with 1
# and 2 threads, each under /usr/bin/time -v. Builds Release first.
#
#   bench/crude_memory.sh [N]
#
# N (default 1000) samples in one replication; the classic stream keeps one cover length per
# sample (2 bytes up to 65,535 variables, 4 above), block streams a count per length.
# BUILD_DIR (default build) selects the build directory; JOBS the build parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."

samples="${1:-1000}"
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target monocount make_formula >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bench/make_formula" grid 100 100 >"$work/grid-100x100.cnf"
awk 'BEGIN { n = 100000; print "p cnf " n " " n - 1; for (i = 1; i < n; ++i) print i " " i + 1 " 0" }' \
  >"$work/path-100000.cnf"

printf '%-14s %9s %8s %14s %10s %12s\n' formula variables clauses stream "peak MiB" "CPU s"
for name in grid-100x100 path-100000; do
  read -r _ _ n m < <(head -n 1 "$work/$name.cnf")
  for threads in "" 1 2; do
    /usr/bin/time -v "$build/monocount" --problem "$work/$name.cnf" --N "$samples" --R 1 --seed 1 \
      ${threads:+--threads "$threads"} >/dev/null 2>"$work/time.txt"
    rss_kib="$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")"
    user="$(sed -n 's/.*User time (seconds): //p' "$work/time.txt")"
    sys="$(sed -n 's/.*System time (seconds): //p' "$work/time.txt")"
    stream="${threads:+blocks, $threads thr}"
    awk -v f="$name" -v n="$n" -v m="$m" -v s="${stream:-classic}" -v r="$rss_kib" -v u="$user" -v y="$sys" \
      'BEGIN { printf "%-14s %9s %8s %14s %10.1f %12.2f\n", f, n, m, s, r / 1024, u + y }'
  done
done
echo "(N = $samples samples, one replication, seed 1; peak = maximum resident set size)"
