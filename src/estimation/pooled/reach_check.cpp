#include "estimation/pooled/reach_check.hpp"

#include <cmath>

#include "estimation/pooled/probability.hpp"
#include "estimation/pooled/spectrum.hpp"

namespace monocount {

bool restsOnUnreachedLengths(const CoverLengthCounts& pooled, const std::vector<WideReal>& binomials,
                             std::optional<double> p) {
  const std::int32_t shortest = pooled.shortest();
  if (shortest <= 1 || pooled.samples == 0 || static_cast<std::size_t>(shortest) >= binomials.size()) return false;
  const auto weighted = [&](const std::vector<WideReal>& sizes) { return p ? probabilityTerms(sizes, *p) : sizes; };
  const std::vector<WideReal> terms = weighted(sizesFromCoverLengths(pooled, binomials));
  std::size_t largest = 0;
  for (std::size_t k = 1; k < terms.size(); ++k) {
    if (terms[k] > terms[largest]) largest = k;
  }
  if (!(terms[largest] > WideReal(0.0)) || largest > static_cast<std::size_t>(shortest) + 2) return false;
  std::vector<WideReal> unseen(binomials.size());
  const std::size_t below = static_cast<std::size_t>(shortest) - 1;
  unseen[below] = binomials[below] * WideReal(-std::log(0.05) / static_cast<double>(pooled.samples));
  return weighted(unseen)[below] >= terms[largest] * WideReal(0.1);
}

}  // namespace monocount
