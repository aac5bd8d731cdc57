#pragma once

#include <cstdint>
#include <vector>

namespace monocount {

// T[k] = C(n, k) + C(n, k + 1) + ... + C(n, n) for k = 0 .. n, to the last bit of the
// classic evaluation order: each coefficient by c <- ((n - i + 1) * c) / i for i = 1 ..
// min(k, n - k), each tail summed on its own from C(n, k) upward. Middle coefficients
// overflow to +inf from n = 1021 on (WideTailTable carries them). Empty for negative n.
// Linear in n apart from the finite tails, which only ever hold a few hundred terms.
std::vector<double> binomialTails(std::int32_t n);

}  // namespace monocount
