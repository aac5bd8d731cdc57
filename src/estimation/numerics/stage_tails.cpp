#include "estimation/numerics/stage_tails.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace monocount {

namespace {

// What is left of each sum when it stops, at most, relative to the sum.
constexpr long double kNegligible = 1e-20L;
// The double computation serves tails above kDoubleFloor: below, a tail may have lost digits to
// subnormal roundings.
constexpr double kDoubleFloor = 1e-280;
// The Poisson weights carry a binary exponent of their own: e^(-R) is taken in parts of
// kPart<Real>, and a weight above 2^kRescale<Real> moves down by that many binary orders, the
// sums so far with it (for rates above 500 in double, 10,000 in long double).
template <typename Real>
constexpr Real kPart = sizeof(Real) == sizeof(double) ? 500 : 10000;
template <typename Real>
constexpr int kRescale = sizeof(Real) == sizeof(double) ? 600 : 8192;

}  // namespace

void StageTailCalculator::reserve(std::size_t stages) {
  if (stay_.size() < stages + 1) {
    now_.resize(stages + 1);
    next_.resize(stages + 1);
    wideNow_.resize(stages + 1);
    wideNext_.resize(stages + 1);
    stay_.resize(stages + 1);
    move_.resize(stages + 1);
    wideStay_.resize(stages + 1);
    wideMove_.resize(stages + 1);
  }
}

StageTails StageTailCalculator::tails(std::span<const double> rates) {
  const std::size_t k = rates.size();
  if (k == 0) return {WideReal(1.0), WideReal(0.0)};
  reserve(k);
  const double top = *std::max_element(rates.begin(), rates.end());
  for (std::size_t j = 0; j < k; ++j) {
    stay_[j] = (top - rates[j]) / top;
    move_[j] = rates[j] / top;
  }
  stay_[k] = 1.0;  // past the last stage the chain stays
  move_[k] = 0.0;
  const StageTails quick = uniformized(rates, now_.data(), next_.data(), stay_.data(), move_.data());
  if (quick.within >= WideReal(kDoubleFloor) && quick.beyond >= WideReal(kDoubleFloor)) return quick;
  const long double wideTop = top;
  for (std::size_t j = 0; j < k; ++j) {
    wideStay_[j] = (wideTop - rates[j]) / wideTop;
    wideMove_[j] = rates[j] / wideTop;
  }
  wideStay_[k] = 1.0L;
  wideMove_[k] = 0.0L;
  return uniformized(rates, wideNow_.data(), wideNext_.data(), wideStay_.data(), wideMove_.data());
}

template <typename Real>
StageTails StageTailCalculator::uniformized(std::span<const double> rates, Real* now, Real* next, const Real* stay,
                                            const Real* move) {
  const std::size_t k = rates.size();
  const Real top = *std::max_element(rates.begin(), rates.end());
  std::fill(now, now + k + 1, Real(0));
  std::fill(next, next + k + 1, Real(0));
  now[0] = 1;

  // The Poisson weight Pois(m; top) = weight * 2^scale: e^(-top) directly while the type holds
  // it, else by parts.
  std::int64_t scale = 0;
  Real weight = 1;
  if (top < kPart<Real>) {
    weight = std::exp(-top);
  } else {
    for (Real rest = top; rest > 0;) {
      const Real part = std::min(rest, kPart<Real>);
      int shift = 0;
      weight = std::frexp(weight * std::exp(-part), &shift);
      scale += shift;
      rest -= part;
    }
  }

  // The sums in units of 2^scale, moved into the wide totals whenever the scale changes.
  Real within = 0;
  Real beyond = 0;
  WideReal wideWithin;
  WideReal wideBeyond;
  // Stages below `low` hold no chance any more: a leading chance below the type's smallest
  // normal value times 1000 is dropped (at most k of them, so at most 1e-302 of a sum in double).
  const Real tiny = std::numeric_limits<Real>::min() * 1000;
  std::size_t low = 0;
  for (std::int64_t m = 0;; ++m) {
    // After m events the chain is at stage m at the furthest. Four partial sums, so that the
    // additions do not wait on one another.
    const std::size_t reach = std::min<std::size_t>(static_cast<std::size_t>(m) + 1, k);
    while (low + 1 < reach && now[low] < tiny) {
      now[low] = next[low] = 0;
      ++low;
    }
    Real partial[4] = {0, 0, 0, 0};
    std::size_t j = low;
    for (; j + 4 <= reach; j += 4) {
      for (std::size_t lane = 0; lane < 4; ++lane) partial[lane] += now[j + lane];
    }
    for (; j < reach; ++j) partial[0] += now[j];
    const Real waiting = (partial[0] + partial[1]) + (partial[2] + partial[3]);
    beyond += weight * waiting;
    within += weight * now[k];

    const auto events = static_cast<Real>(m);
    if (events + 2 > top && m % 8 == 0) {
      // Past the mode the Poisson weights fall at least geometrically: the rest of them is at
      // most weight * ratio. The chance of fewer than k moves only falls with m, so the rest
      // of `beyond` is at most weight * waiting * ratio, and that of `within` weight * ratio.
      // (Asked every eighth event: a few more terms cost less than the divisions.)
      const Real ratio = (top / (events + 1)) / (1 - top / (events + 2));
      const Real restWithin = weight * ratio;
      const bool beyondDone = restWithin * waiting <= Real(kNegligible) * beyond;
      // Below the type's range the rest adds nothing more.
      const bool withinDone = restWithin <= Real(kNegligible) * within || restWithin == 0;
      if (beyondDone && withinDone) break;
    }

    // One more event.
    if (low == 0) next[0] = now[0] * stay[0];
    for (j = std::max<std::size_t>(low, 1); j <= reach; ++j) next[j] = now[j] * stay[j] + now[j - 1] * move[j - 1];
    if (reach < k) next[k] = now[k];
    std::swap(now, next);
    weight *= top / (events + 1);

    if (weight > std::ldexp(Real(1), kRescale<Real>)) {
      wideWithin += WideReal::scaled(within, scale);
      wideBeyond += WideReal::scaled(beyond, scale);
      within = beyond = 0;
      weight = std::ldexp(weight, -kRescale<Real>);
      scale += kRescale<Real>;
    }
  }
  wideWithin += WideReal::scaled(within, scale);
  wideBeyond += WideReal::scaled(beyond, scale);
  return {wideWithin, wideBeyond};
}

template StageTails StageTailCalculator::uniformized<double>(std::span<const double>, double*, double*,
                                                             const double*, const double*);
template StageTails StageTailCalculator::uniformized<long double>(std::span<const double>, long double*,
                                                                  long double*, const long double*,
                                                                  const long double*);

}  // namespace monocount
