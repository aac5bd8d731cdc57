#pragma once

#include <cstdint>
#include <vector>

namespace monocount {

// C[k] = C(n, k) for k = 0 .. n, to the last bit of the classic evaluation order: c <- 1.0,
// then c <- ((n - i + 1) * c) / i for i = 1 .. min(k, n - k), the product rounded before the
// quotient. The running value after i steps is the same for every k, so the row is built
// from one sequence in linear time and is symmetric. Exact for n <= 54. Middle coefficients
// overflow to +inf from n = 1021 on, through the intermediate product. Empty for negative n.
std::vector<double> binomialRow(std::int32_t n);

// T[k] = C(n, k) + C(n, k + 1) + ... + C(n, n) for k = 0 .. n, to the last bit of the
// classic evaluation order: the coefficients of binomialRow, each tail summed on its own
// from 0.0 and C(n, k) upward (not as a running suffix sum, which rounds differently from
// n = 54 on). Exact for n <= 53. From n = 1021 on, every tail that reaches an infinite
// coefficient is +inf (wideBinomialTails carries them). Empty for negative n.
// Linear in n apart from the finite tails: at most 1021 of them, over at most 1021 terms.
std::vector<double> binomialTails(std::int32_t n);

}  // namespace monocount
