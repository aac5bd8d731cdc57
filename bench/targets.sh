#!/usr/bin/env bash
# Accuracy and honesty of --method split at scale, against references that do not come from
# the estimator (bench/tools/reference_count: transfer matrices for grids and tori, Fibonacci
# numbers for paths, tree and band counts by dynamic programming, a fit of log10 of the count
# beyond the transfer matrices' reach). One core (--threads 1).
#
#   bench/targets.sh [BUILD_DIR] [accuracy|honesty|all|scale|scale-honesty]    (defaults: ./build, all)
#
# accuracy: R = 10 replications per formula; prints the pooled estimate's error in % and in
#           pooled standard errors, and the CPU seconds of all ten.
# honesty:  R = 40 replications per formula; prints the standard deviation of the estimates
#           over the mean reported RE (honest: about 1) and the share of replications whose
#           truth lies within 2 reported standard errors (honest: about 95 %).
# scale:    the 100 x 100 grid, the 60 x 60 grid at a pooled RE of 0.5 % and the path of 100,000
#           variables, R = 10 (about 9, 10 and 24 CPU minutes); scale-honesty: the two grids
#           and the path at R = 40 (about 18, 6 and 100 CPU minutes). Not part of "all".
# Each line names the formula, N and R. About 10 CPU minutes for accuracy, 50 for honesty.
set -euo pipefail
build=${1:-build}
mode=${2:-all}
tool=$build/bench/reference_count
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {  # NAME N R reference_count words...
  local name=$1 n=$2 r=$3
  shift 3
  "$tool" --cnf "$work/$name.cnf" "$@" > "$work/$name.ref"
  local truth
  truth=$(sed -n 's/^log10_count: //p' "$work/$name.ref")
  "$build/monocount" --problem "$work/$name.cnf" --N "$n" --R "$r" --seed 1 --method split --threads 1 \
    --format json > "$work/$name.json"
  python3 - "$work/$name.json" "$truth" "$name" "$n" "$r" <<'PY'
import json, math, sys
doc = json.load(open(sys.argv[1]))
truth, name, n, r = float(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
rows = doc["replications"]
# Ratios to the truth, in log space: the counts are far beyond the double range.
ratios = [10 ** (row["log10"] - truth) for row in rows]
res = [row["relativeError"] for row in rows]
cpu = sum(row["cpuSeconds"] for row in rows)
mean = sum(ratios) / len(ratios)
sd = math.sqrt(sum((x - mean) ** 2 for x in ratios) / (len(ratios) - 1))
se = sd / math.sqrt(len(ratios))
inside = sum(abs(x - 1) <= 2 * e * x for x, e in zip(ratios, res)) / len(ratios)
warned = "; warned" if doc["warnings"] else ""
print(f"{name:>16}  N {n:>5} R {r:>3}  error {100 * (mean - 1):+6.2f} %  {(mean - 1) / se:+5.2f} SE  "
      f"sd/RE {sd / (sum(res) / len(res)):.2f}  within 2 RE {100 * inside:5.1f} %  CPU {cpu:7.1f} s{warned}")
PY
}

if [[ $mode == accuracy || $mode == all ]]; then
  echo "accuracy (R = 10; targets: 60 x 60 within 5 % and 4 SE in 600 s, 40 x 40 within 2 % in 120 s,"
  echo "31 x 31 within 1 % in 60 s, path 10000 within 10 % in 600 s)"
  run grid_31x31 240 10 grid 31 31
  run grid_40x40 200 10 grid 40 40
  run grid_60x60 200 10 grid 60 60
  run path_10000 40 10 path 10000
fi
if [[ $mode == honesty || $mode == all ]]; then
  echo "honesty (R = 40; targets: sd/RE between 0.8 and 1.25, within 2 RE in 90 to 98 %)"
  run grid_31x31 100 40 grid 31 31
  run grid_40x40 60 40 grid 40 40
  run grid_60x60 50 40 grid 60 60
  run torus_12x300 50 40 torus 12 300
  run tree_5000 30 40 tree 5000 2
  run banded3_5000 30 40 banded 5000 9000 3 12 2
  run path_10000 30 40 path 10000
fi
if [[ $mode == scale ]]; then
  echo "at scale (R = 10; targets: 100 x 100 within 5 % in 600 s, 60 x 60 within 1 % with a pooled RE of"
  echo "at most 0.5 % in 600 s, path 100000 within 10 % in 1800 s)"
  run grid_100x100 40 10 grid 100 100
  run grid_60x60 550 10 grid 60 60
  run path_100000 10 10 path 100000
fi
if [[ $mode == scale-honesty ]]; then
  echo "honesty at scale (R = 40)"
  run grid_100x100 20 40 grid 100 100
  run grid_60x60 50 40 grid 60 60
  run path_100000 10 40 path 100000
fi
