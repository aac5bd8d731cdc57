#pragma once

#include <vector>

#include "estimation/wide_real.hpp"

namespace monocount {

// The arithmetic mean: the elements summed one by one in index order from 0.0, divided by
// their count. No compensated or pairwise summation, so the result is fixed to the last bit.
// An empty sequence gives 0.0 / 0.0, a NaN.
double mean(const std::vector<double>& values);

// The same mean over extended-range values: exactly the double mean above whenever every
// value and the sum fit a double, the extended-range mean otherwise.
WideReal mean(const std::vector<WideReal>& values);

}  // namespace monocount
