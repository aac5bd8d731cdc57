#pragma once

#include <cstdint>
#include <vector>

namespace monocount {

// T[k] = C(n, k) + C(n, k + 1) + ... + C(n, n) for k = 0 .. n, the classic table, written as
// plainly as the classic tool computes it: every coefficient on its own, c <- 1.0, then
// c <- ((n - i + 1) * c) / i for i = 1 .. min(k, n - k), the product rounded before the
// quotient; then every tail summed on its own from 0.0 and C(n, k) upward (not as a running
// suffix sum, which rounds differently from n = 54 on). Exact for n <= 53; from n = 1021 on the
// middle coefficients overflow to +inf through the intermediate product, and so does every tail
// that reaches them. Empty for negative n. Quadratic in n: the statement of the classic
// behaviour, which fastBinomialTails reproduces.
std::vector<double> binomialTails(std::int32_t n);

// The same table to the last bit, in about linear time: the running value after i steps of the
// coefficient loop does not depend on k, so the whole row comes from one sequence, and every
// tail that reaches an infinite coefficient is +inf without being summed. The finite tails are
// still summed on their own, over at most 1021 terms each. Empty for negative n.
std::vector<double> fastBinomialTails(std::int32_t n);

}  // namespace monocount
