#!/usr/bin/env python3
"""Draws a monocount run from its JSON output: the spectrum N(k) against the size k, and the
probability that the formula holds when every variable is true independently with probability
p, for p over [0, 1].

    monocount --problem f.cnf --N 100000 --R 10 --spectrum --format json > run.json
    python3 scripts/plot.py run.json -o run.png        # or run.svg; '-' reads standard input

The curve is computed from the pooled spectrum, sum_k N(k) p^k (1 - p)^(n - k), in log space;
the probabilities the run itself estimated (--probability) are drawn on it with their 95 %
intervals. Sizes no sample reached are left out (their N(k) is unknown, not 0).
"""

import argparse
import json
import math
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend must be chosen first)


def log10_of(value):
    """log10 of a count written as a number or, beyond the double range, as a string "3.5e+451";
    None for 0 or null."""
    if isinstance(value, str):
        mantissa, exponent = value.split("e")
        return math.log10(float(mantissa)) + int(exponent)
    return math.log10(value) if value else None


def log10_probability(sizes, n, p):
    """log10 of sum_k N(k) p^k (1 - p)^(n - k) over the reached sizes, None when it is 0."""
    terms = []
    for k, log10_count in sizes:
        if p == 0.0 or p == 1.0:
            if k == (0 if p == 0.0 else n):
                terms.append(log10_count)
            continue
        terms.append(log10_count + k * math.log10(p) + (n - k) * math.log10(1.0 - p))
    if not terms:
        return None
    top = max(terms)
    return top + math.log10(sum(10.0 ** (t - top) for t in terms))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("run", help="the JSON output of a monocount run with --spectrum ('-': standard input)")
    parser.add_argument("-o", "--output", required=True, help="the picture: a .png or .svg file")
    args = parser.parse_args()

    with (sys.stdin if args.run == "-" else open(args.run, encoding="utf-8")) as source:
        run = json.load(source)
    if "spectrum" not in run:
        sys.exit("plot.py: the run has no spectrum; run monocount with --spectrum --format json")
    n = run["problem"]["variables"]
    reached = [(s["size"], s["log10"], s["relativeError"]) for s in run["spectrum"] if s["reached"] and s["log10"] is not None]
    if not reached:
        sys.exit("plot.py: no size was reached")

    figure, (left, right) = plt.subplots(1, 2, figsize=(11, 4.2))
    title = f'{run["problem"]["path"]}: {n} variables, {run["problem"]["clauses"]} clauses, method {run["method"]["name"]}'
    figure.suptitle(title, fontsize=10)

    sizes = [k for k, _, _ in reached]
    logs = [value for _, value, _ in reached]
    # One standard error either way, in log10 units (none with a single replication).
    relatives = [relative or 0.0 for _, _, relative in reached]
    below = [-math.log10(1.0 - min(relative, 0.99)) for relative in relatives]
    above = [math.log10(1.0 + relative) for relative in relatives]
    left.errorbar(sizes, logs, yerr=[below, above], fmt="o-", markersize=3, capsize=2)
    left.set_xlabel("size k of the satisfying set")
    left.set_ylabel("log10 N(k)")
    left.set_title("spectrum (bars: one standard error)", fontsize=10)
    left.grid(alpha=0.3)

    points = [i / 400 for i in range(401)]
    curve = [(p, log10_probability([(k, v) for k, v, _ in reached], n, p)) for p in points]
    curve = [(p, value) for p, value in curve if value is not None]
    right.plot([p for p, _ in curve], [value for _, value in curve], "-", label="from the spectrum")
    estimated = [e for e in run.get("probabilities", []) if e["log10"] is not None]
    if estimated:
        intervals = [e["confidenceInterval"] or {"low": None, "high": None} for e in estimated]
        low = [log10_of(i["low"]) for i in intervals]
        high = [log10_of(i["high"]) for i in intervals]
        # An interval reaching down to 0 has no lower end in log10: the bar stops at the point.
        below = [e["log10"] - l if l is not None else 0.0 for e, l in zip(estimated, low)]
        above = [h - e["log10"] if h is not None else 0.0 for e, h in zip(estimated, high)]
        right.errorbar([e["p"] for e in estimated], [e["log10"] for e in estimated], yerr=[below, above], fmt="o",
                       capsize=3, label="estimated (95 % interval)")
        right.legend(fontsize=8)
    right.set_xlabel("p, the chance that each variable is true")
    right.set_ylabel("log10 P(formula holds)")
    right.set_title("probability", fontsize=10)
    right.set_xlim(0, 1)
    right.grid(alpha=0.3)

    figure.tight_layout()
    figure.savefig(args.output, dpi=110)


if __name__ == "__main__":
    main()
