#pragma once

#include <cstdint>

#include "estimation/replication.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// How much of a crude answer the run is expected to have missed at cover lengths shorter than
// any it sampled: of the count (no law), or of the probability under a uniform law of one
// chance p (sum_k N(k) p^k (1 - p)^(n - k); crude's cover lengths speak of uniform laws only),
// from the pooled cover lengths of a run.
//
// Crude's answer is a sum of terms, one per size k: N(k) = C(n, k) P(L <= k), weighed by
// p^k (1 - p)^(n - k) for a probability. Its estimate of a term rests on the S_k samples of
// length k or less; below the shortest length sampled it is 0, and a few lengths above that it
// rests on a handful of samples. Every replication misses the same lengths, so their spread
// does not show what is missing. The check extends the terms below the lengths measured well:
//   - measured well: the lengths with at least 5 samples at or below them (S_k >= 5);
//   - the shape: log N(k) is close to a concave curve, a smooth peak (concave throughout for
//     the square grids up to 12 x 12, counted exactly by size), so the log of the terms is
//     fitted by a concave parabola over the well measured lengths whose terms are at least 1 %
//     of the largest, each length weighed by S_k (the variance of log S_k is about 1 / S_k); a
//     straight line when the parabola would open upward;
//   - the parabola, continued to the shorter lengths k (down to 1: a formula with clauses has
//     no satisfying set of 0 variables), puts there a term t(k) and lambda(k) = S t(k) /
//     (C(n, k) weight(k)) expected samples of length k or less; no sample reaches a length
//     with chance e^-lambda(k), so the run is expected to miss U = sum_k t(k) e^-lambda(k).
// The result is U / (W + U), W the sum of the well measured terms. It is 0 without samples,
// with fewer than 5 or with fewer than three lengths to fit (no shape to extend), at p = 0 and
// p = 1 (known exactly), and for a law with a chance per variable (not scored from lengths).
// Measured over 10 seeds each (bench/reach.sh): at most 0.026 on the 6 x 6 grid, random 3-CNF
// 40/400 and 50/250 and the hypercube Q5 from 10^4 samples in all, where crude is right; 0.058
// to 0.95 on the 10 x 10 grid from 3 x 10^4 to 3 x 10^7 samples (the exact counts by size:
// 0.65 to 0.079), 0.6 and more on the 12 x 12 and 16 x 16 grids. Works in logarithms: O(n)
// time, no memory of its own.
double unreachedShare(const CoverLengthCounts& pooled, std::int32_t variableCount,
                      const VariableProbabilities* law = nullptr);

// The share above which crude's answer is said to rest on lengths its samples did not reach:
// above what runs of 10^4 samples leave out where crude is right (at most 2.6 %, within their
// RE of 5 % or more), about half of what 3 x 10^7 samples leave out on the 10 x 10 grid (7.9 %).
inline constexpr double kUnreachedShareLimit = 0.04;

// Whether unreachedShare exceeds kUnreachedShareLimit: the run is expected to miss more than
// 4 % of its answer at lengths no sample reached, more than the spread of its replications
// can show.
bool restsOnUnreachedLengths(const CoverLengthCounts& pooled, std::int32_t variableCount,
                             const VariableProbabilities* law = nullptr);

}  // namespace monocount
