#!/usr/bin/env bash
# Accuracy of the two estimators against exact counts.
#
#   bench/accuracy.sh [BUILD_DIR]        (default: build; needs the benchmark tools built)
#
# For every formula (vertex covers of grids and hypercubes, random monotone 3-CNF) it writes
# the DIMACS file, computes the exact count without sampling, and runs R = 10 replications of
# `monocount --method split` and of `--method crude`, each with the N that fills about BUDGET
# CPU seconds for all R replications (measured on a short calibration run first; a one-off
# setup cost is counted in). It prints a Markdown table: the pooled estimate (mean of the R
# rows), its error in percent and in pooled standard errors, N and the CPU seconds used.
# Then a coverage check: many independent replications on formulas with known counts, and how
# often the truth lies within 1 and 2 reported standard errors.
#
# Environment: BUDGET (CPU seconds per formula and method, default 17), SEED (default 1),
# COVERAGE_R (replications of the coverage check, default 400).
set -euo pipefail

BUILD=${1:-build}
BUDGET=${BUDGET:-17}
SEED=${SEED:-1}
COVERAGE_R=${COVERAGE_R:-400}
R=10
MONOCOUNT=$BUILD/monocount
TOOLS=$BUILD/bench
for tool in "$MONOCOUNT" "$TOOLS/accuracy_formula" "$TOOLS/exact_count" "$TOOLS/accuracy_report"; do
  [[ -x $tool ]] || { echo "missing $tool: build with benchmarks on first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

formulas=(
  "grid 4 4" "grid 8 8" "grid 10 10" "grid 12 12" "grid 14 14" "grid 16 16"
  "hypercube 4" "hypercube 5" "hypercube 6"
  "random3 40 400 1" "random3 48 480 1" "random3 50 250 1"
)

# N per replication for R replications in about BUDGET CPU seconds: two replications of a
# growing N until the second takes half a second; the first one's extra time is the
# one-off setup (tables built once per run).
calibrate() {
  local method=$1 file=$2 n=64
  local -a cpu
  while :; do
    "$MONOCOUNT" --problem "$file" --N "$n" --R 2 --method "$method" --seed "$SEED" > "$work/calibration" 2>/dev/null
    mapfile -t cpu < <("$TOOLS/accuracy_report" cpu "$work/calibration")
    if awk -v c="${cpu[1]}" 'BEGIN { exit !(c >= 0.5) }' || (( n >= 500000000 )); then break; fi
    n=$(( n * 4 ))
  done
  awk -v n="$n" -v a="${cpu[0]}" -v b="${cpu[1]}" -v budget="$BUDGET" -v r="$R" 'BEGIN {
    setup = a - b; if (setup < 0) setup = 0
    if (b <= 0) b = 1e-3
    N = int((budget - setup) / (r * b / n)); if (N < 1) N = 1; if (N > 2000000000) N = 2000000000
    print N }'
}

name() { echo "$*" | tr ' ' _; }

"$TOOLS/accuracy_report" header
for family in "${formulas[@]}"; do
  file=$work/$(name $family).cnf
  # shellcheck disable=SC2086
  "$TOOLS/accuracy_formula" $family > "$file"
  # shellcheck disable=SC2086
  exact=$("$TOOLS/exact_count" $family)
  variables=$(awk '/^p / { print $3; exit }' "$file")
  declare -A sizes=()
  for method in split crude; do
    sizes[$method]=$(calibrate "$method" "$file")
    "$MONOCOUNT" --problem "$file" --N "${sizes[$method]}" --R "$R" --method "$method" --seed "$SEED" \
      > "$work/$method.report"
  done
  "$TOOLS/accuracy_report" row "$family" "$variables" "$exact" "${sizes[split]}" "$work/split.report" \
    "${sizes[crude]}" "$work/crude.report"
done

echo
echo "Coverage of the split estimator's reported standard errors (seed $SEED):"
for case in "grid 10 10:200" "grid 16 16:100" "hypercube 6:100" "random3 48 480 1:100"; do
  family=${case%%:*}
  size=${case##*:}
  file=$work/$(name $family).cnf
  # shellcheck disable=SC2086
  exact=$("$TOOLS/exact_count" $family)
  "$MONOCOUNT" --problem "$file" --N "$size" --R "$COVERAGE_R" --method split --seed "$SEED" > "$work/coverage.report"
  echo "- $family, N = $size: $("$TOOLS/accuracy_report" coverage "$exact" "$work/coverage.report")"
done
