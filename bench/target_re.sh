#!/usr/bin/env bash
# How --target-re does: split on the 31 x 31 grid asked for a pooled relative error of 1 %, over
# SEEDS seeds (default 20), one core. For each seed: the replications the rule took, the pooled
# RE it stopped at, the error of the pooled estimate against the transfer matrix's count in
# pooled standard errors, and its CPU seconds beside those of the fixed run of the same seed,
# N and R (the same digits, so the cost of the rule itself). Then the share of seeds whose
# pooled estimate lies within two pooled standard errors of the truth, and the CPU the rule
# spent against the CPU a fixed run needs on average for a pooled RE of 1 % (the roots'
# variance measured over all the seeds' replications).
#
#   bench/target_re.sh            (about 10 CPU minutes)
#
# BUILD_DIR (default build), SEEDS, N (roots per replication, default 20), TARGET (default 0.01),
# FORMULA (grid side, default 31).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
seeds="${SEEDS:-20}"
roots="${N:-20}"
target="${TARGET:-0.01}"
side="${FORMULA:-31}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target monocount make_formula reference_count >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
formula="$work/grid.cnf"
"$build/bench/make_formula" grid "$side" "$side" >"$formula"
reference="$("$build/bench/reference_count" grid "$side" "$side" | awk '/^log10_count:/ {print $2}')"

for seed in $(seq 1 "$seeds"); do
  "$build/monocount" --problem "$formula" --method split --N "$roots" --R 1000 --target-re "$target" \
    --seed "$seed" --threads 1 --format json >"$work/target-$seed.json" 2>/dev/null
  taken="$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["pooled"]["replications"])' "$work/target-$seed.json")"
  "$build/monocount" --problem "$formula" --method split --N "$roots" --R "$taken" \
    --seed "$seed" --threads 1 --format json >"$work/fixed-$seed.json" 2>/dev/null
done

python3 - "$work" "$seeds" "$reference" "$target" "$side" "$roots" <<'EOF'
import json, math, statistics, sys
work, seeds, log10_truth, target, side, roots = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), sys.argv[5], int(sys.argv[6])
print(f"split on the {side} x {side} grid, --N {roots} --target-re {target}, one core; truth 10^{log10_truth:.12f}")
print("| seed | replications | pooled RE % | error % | in pooled SE | CPU s (target) | CPU s (fixed, same R) | ratio |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|")
within = 0
cpu_target = cpu_fixed = 0.0
relative_errors = []
roots_taken = 0
for seed in range(1, seeds + 1):
    run = json.load(open(f"{work}/target-{seed}.json"))
    fixed = json.load(open(f"{work}/fixed-{seed}.json"))
    pooled = run["pooled"]
    assert abs(pooled["log10"] - fixed["pooled"]["log10"]) < 1e-12, "the fixed run must print the same digits"
    error = 10 ** (pooled["log10"] - log10_truth) - 1
    in_se = error / pooled["relativeError"]
    within += abs(in_se) <= 2
    cpu = sum(r["cpuSeconds"] for r in run["replications"])
    cpu_f = sum(r["cpuSeconds"] for r in fixed["replications"])
    cpu_target += cpu
    cpu_fixed += cpu_f
    roots_taken += pooled["replications"] * roots
    relative_errors += [r["relativeError"] for r in run["replications"]]
    print(f"| {seed} | {pooled['replications']} | {100 * pooled['relativeError']:.3f} | {100 * error:+.3f} | {in_se:+.2f} | {cpu:.1f} | {cpu_f:.1f} | {cpu / cpu_f:.3f} |")
# The RE of one root, from the replications' own REs (RE of a mean of N roots = root RE / sqrt(N)).
root_re = math.sqrt(statistics.fmean(e * e for e in relative_errors)) * math.sqrt(roots)
needed = (root_re / target) ** 2
per_root = cpu_target / roots_taken
print()
print(f"truth within 2 pooled SE: {within} of {seeds} ({100 * within / seeds:.0f} %)")
print(f"CPU of the rule's runs over the fixed runs of the same R: {cpu_target / cpu_fixed:.3f}")
print(f"roots per run: {roots_taken / seeds:.0f} on average; a fixed run needs about {needed:.0f} for RE {target} "
      f"(one root's RE {root_re:.3f}); CPU ratio {roots_taken / seeds / needed:.2f} ({per_root:.4f} CPU s per root)")
EOF
