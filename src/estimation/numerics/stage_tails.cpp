#include "estimation/numerics/stage_tails.hpp"

#include <algorithm>
#include <cmath>

namespace monocount {

namespace {

// What is left of each sum when it stops, at most, relative to the sum.
constexpr long double kNegligible = 1e-20L;
// Masses are kept below 2^kRescale: beyond, the vector and its sums so far move down by that
// many binary orders (only for rates of 11,000 and more, whose e^(-R) is below the long
// double's range).
constexpr int kRescale = 8192;

}  // namespace

void StageTailCalculator::reserve(std::size_t stages) {
  if (mass_.size() < stages + 1) {
    mass_.resize(stages + 1);
    stay_.resize(stages + 1);
  }
}

StageTails StageTailCalculator::tails(std::span<const double> rates) {
  const std::size_t k = rates.size();
  if (k == 0) return {WideReal(1.0), WideReal(0.0)};
  reserve(k);
  const long double top = *std::max_element(rates.begin(), rates.end());
  for (std::size_t j = 0; j < k; ++j) {
    stay_[j] = top - static_cast<long double>(rates[j]);
    mass_[j] = 0.0L;
  }
  stay_[k] = top;
  mass_[k] = 0.0L;

  // e^(-top) = mass_[0] * 2^scale: directly while the long double holds it, else by parts.
  std::int64_t scale = 0;
  if (top < 11000.0L) {
    mass_[0] = std::exp(-top);
  } else {
    long double rest = top;
    long double start = 1.0L;
    while (rest > 0.0L) {
      const long double part = std::min(rest, 10000.0L);
      int shift = 0;
      start = std::frexp(start * std::exp(-part), &shift);
      scale += shift;
      rest -= part;
    }
    mass_[0] = start;
  }

  // The sums in units of 2^scale, moved into the wide totals whenever the scale changes.
  long double within = 0.0L;
  long double beyond = 0.0L;
  WideReal wideWithin;
  WideReal wideBeyond;
  for (std::int64_t m = 0;; ++m) {
    // After m events the chain is at stage m at the furthest.
    const std::size_t reach = std::min<std::size_t>(static_cast<std::size_t>(m) + 1, k);
    long double waiting = 0.0L;
    for (std::size_t j = 0; j < reach; ++j) waiting += mass_[j];
    beyond += waiting;
    within += mass_[k];
    const long double weight = waiting + mass_[k];  // Pois(m; top) in units of 2^scale

    const auto events = static_cast<long double>(m);
    if (events + 2.0L > top) {
      // Past the mode the Poisson weights fall at least geometrically: the rest of them is at
      // most weight * ratio. The chance of fewer than k moves only falls with m, so the rest
      // of `beyond` is at most waiting * ratio, and that of `within` at most weight * ratio.
      const long double ratio = (top / (events + 1.0L)) / (1.0L - top / (events + 2.0L));
      const long double restWithin = weight * ratio;
      const bool beyondDone = waiting * ratio <= kNegligible * beyond;
      // Below the long double's range the rest adds nothing more (a tail of less than about
      // 1e-4900 of the other comes out as 0).
      const bool withinDone = restWithin <= kNegligible * within || restWithin == 0.0L;
      if (beyondDone && withinDone) break;
    }

    // One more event: each stage keeps (top - r_j) / top of its mass and passes r_j / top on,
    // times the Poisson factor top / (m + 1).
    const long double factor = 1.0L / (events + 1.0L);
    mass_[k] = (mass_[k] * stay_[k] + mass_[k - 1] * static_cast<long double>(rates[k - 1])) * factor;
    for (std::size_t j = std::min(reach, k - 1); j >= 1; --j) {
      mass_[j] = (mass_[j] * stay_[j] + mass_[j - 1] * static_cast<long double>(rates[j - 1])) * factor;
    }
    mass_[0] = mass_[0] * stay_[0] * factor;

    if (weight > std::ldexp(1.0L, kRescale)) {
      wideWithin += WideReal::scaled(within, scale);
      wideBeyond += WideReal::scaled(beyond, scale);
      within = beyond = 0.0L;
      for (std::size_t j = 0; j <= k; ++j) mass_[j] = std::ldexp(mass_[j], -kRescale);
      scale += kRescale;
    }
  }
  wideWithin += WideReal::scaled(within, scale);
  wideBeyond += WideReal::scaled(beyond, scale);
  return {wideWithin, wideBeyond};
}

}  // namespace monocount
