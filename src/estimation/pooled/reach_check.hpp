#pragma once

#include <cstdint>
#include <optional>

#include "estimation/replication.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// Whether a crude estimate is carried by cover lengths its samples did not reach: the count
// (no law), or the probability under a uniform law of one chance p (sum_k N(k) p^k (1 - p)^(n -
// k); crude's cover lengths speak of uniform laws only), from the pooled cover lengths of a run. The crude estimator puts N(k) = 0 at every size below the shortest length
// sampled, s. That is harmless when the terms of the sum have peaked above s; it is not when
//   - the largest estimated term lies at s or s + 1, so the terms still grow toward the sizes
//     no sample reached (two sizes above s, what lies below is a few percent of the count on
//     the 6 x 6 grid at 10^4 samples: within the RE, not far too low), and
//   - the term just below s could still be large: with no sample of length s - 1 or less
//     among S, the chance of one is below 3/S (95 % upper bound), so the term at s - 1 is at
//     most C(n, s - 1) * 3/S (times its weight); this bound reaches a tenth of the largest
//     term (it does not when many samples sit at s, or s is 1, below which there is no cover).
// Then the estimate is likely far too low, and the spread of the replications, which all miss
// the same lengths, does not show it. False without samples, and at p = 0 and p = 1, where the
// probability is known exactly. Works in logarithms: O(n) time, no memory of its own.
bool restsOnUnreachedLengths(const CoverLengthCounts& pooled, std::int32_t variableCount,
                             const VariableProbabilities* law = nullptr);

}  // namespace monocount
