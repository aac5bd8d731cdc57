#pragma once

#include <cstdint>
#include <vector>

#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// C(n, k) for k = 0 .. n in extended range, from the running product
// c_i = c_(i-1) * (n - i + 1) / i, with C(n, k) = c_min(k, n - k). Linear in n; relative
// error below 1e-13 for n up to several million. Empty for negative n.
std::vector<WideReal> wideBinomialRow(std::int32_t n);

// T[k] = C(n, k) + ... + C(n, n) for k = 0 .. n in extended range, summed from the top
// (T[n] = 1, T[k] = C(n, k) + T[k + 1]). Linear in n. Empty for negative n.
std::vector<WideReal> wideBinomialTails(std::int32_t n);

}  // namespace monocount
