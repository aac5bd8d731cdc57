#pragma once

#include <vector>

namespace monocount {

// The arithmetic mean: the elements summed one by one in index order from 0.0, divided by
// their count. No compensated or pairwise summation, so the result is fixed to the last bit.
// An empty sequence gives 0.0 / 0.0, a NaN.
double mean(const std::vector<double>& values);

}  // namespace monocount
