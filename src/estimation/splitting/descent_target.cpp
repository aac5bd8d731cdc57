#include "estimation/splitting/descent_target.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

namespace monocount {

std::vector<double> oddsOf(const VariableProbabilities& law, DescentSide side, std::int32_t variables) {
  if (law.isUniform()) return {};
  std::vector<double> odds(static_cast<std::size_t>(variables));
  for (std::int32_t v = 0; v < variables; ++v) {
    const long double truth = law.truth(v);
    const long double falsity = law.falsity(v);
    const long double ratio = side == DescentSide::satisfying ? truth / falsity : falsity / truth;
    // Far enough inside the double range that a root's sums of odds and their ratios stay in it.
    if (!(truth > 0 && falsity > 0 && ratio >= 1e-280L && ratio <= 1e280L)) {
      throw std::invalid_argument("the odds of variable " + std::to_string(v + 1) +
                                  " are outside [1e-280, 1e280]: condition certain variables away first");
    }
    odds[static_cast<std::size_t>(v)] = static_cast<double>(ratio);
  }
  return odds;
}

WideReal baseOf(const VariableProbabilities& law, DescentSide side, std::int32_t variables) {
  WideReal base = 1.0;
  for (std::int32_t v = 0; v < variables; ++v) {
    base *= WideReal(side == DescentSide::satisfying ? law.falsity(v) : law.truth(v));
  }
  return base;
}

std::vector<double> watchedOdds(const std::vector<double>& probabilities, DescentSide side) {
  std::vector<double> watched;
  for (const double p : probabilities) {
    if (!(p > 0.0 && p < 1.0)) continue;
    const long double q = 1.0L - static_cast<long double>(p);
    watched.push_back(static_cast<double>(side == DescentSide::satisfying ? p / q : q / p));
  }
  return watched;
}

}  // namespace monocount
