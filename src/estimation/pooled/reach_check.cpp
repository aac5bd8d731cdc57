#include "estimation/pooled/reach_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace monocount {

namespace {

// Samples at or below a length for its term to count as measured well.
constexpr std::uint64_t kWellMeasured = 5;
// The fit takes the well measured lengths whose terms are at least this share of the largest.
constexpr long double kFitFloor = 0.01L;
// Below the parabola's peak, terms this far under the largest (e^-60) end the sum.
constexpr long double kNegligible = -60.0L;

// The natural logs of the terms of crude's answer, one length after another upward: log C(n,
// k) by the ratio (n - k) / (k + 1) from one k to the next, the samples at or below k, and the
// weight p^k (1 - p)^(n - k) of a probability as k log p + (n - k) log(1 - p).
class TermWalk {
 public:
  TermWalk(const CoverLengthCounts& pooled, std::int32_t n, long double logP, long double logQ)
      : pooled_(pooled),
        n_(n),
        logP_(logP),
        logQ_(logQ),
        logSamples_(std::log(static_cast<long double>(pooled.samples))) {}

  // Starts at length k with `below` samples of length k - 1 or less.
  void start(std::int32_t k, std::uint64_t below) {
    k_ = k;
    cumulative_ = below + countAt(k);
    logBinomial_ = std::lgamma(n_ + 1.0L) - std::lgamma(k + 1.0L) - std::lgamma(n_ - k + 1.0L);
  }
  void next() {
    logBinomial_ += std::log(static_cast<long double>(n_ - k_) / static_cast<long double>(k_ + 1));
    ++k_;
    cumulative_ += countAt(k_);
  }
  std::int32_t length() const { return k_; }
  long double logSamples() const { return logSamples_; }
  std::uint64_t cumulative() const { return cumulative_; }
  std::uint64_t here() const { return countAt(k_); }
  long double weight(std::int32_t k) const { return k * logP_ + (n_ - k) * logQ_; }
  // log of C(n, k) S_k / S times the weight, S_k > 0.
  long double term() const {
    return logBinomial_ + std::log(static_cast<long double>(cumulative_)) - logSamples_ + weight(k_);
  }

 private:
  std::uint64_t countAt(std::int32_t k) const {
    const std::int64_t at = static_cast<std::int64_t>(k) - pooled_.first;
    return at >= 0 && at < static_cast<std::int64_t>(pooled_.counts.size()) ? pooled_.counts[static_cast<std::size_t>(at)]
                                                                            : 0;
  }

  const CoverLengthCounts& pooled_;
  std::int32_t n_;
  long double logP_;
  long double logQ_;
  long double logSamples_;
  std::int32_t k_ = 0;
  std::uint64_t cumulative_ = 0;
  long double logBinomial_ = 0.0L;
};

// y = a + b u + c u^2 by weighted least squares from the sums of w u^j (j = 0 .. 4) and w y u^j
// (j = 0 .. 2); a straight line (c = 0) when the parabola would open upward. False when the
// equations are singular.
struct Parabola {
  long double a = 0.0L, b = 0.0L, c = 0.0L;
  long double at(long double u) const { return a + (b + c * u) * u; }
};
bool fitConcave(const long double (&wu)[5], const long double (&wyu)[3], Parabola& fit) {
  const auto det3 = [](long double m00, long double m01, long double m02, long double m10, long double m11,
                       long double m12, long double m20, long double m21, long double m22) {
    return m00 * (m11 * m22 - m12 * m21) - m01 * (m10 * m22 - m12 * m20) + m02 * (m10 * m21 - m11 * m20);
  };
  const long double d = det3(wu[0], wu[1], wu[2], wu[1], wu[2], wu[3], wu[2], wu[3], wu[4]);
  if (d > 0.0L) {
    fit.c = det3(wu[0], wu[1], wyu[0], wu[1], wu[2], wyu[1], wu[2], wu[3], wyu[2]) / d;
    if (fit.c <= 0.0L) {
      fit.a = det3(wyu[0], wu[1], wu[2], wyu[1], wu[2], wu[3], wyu[2], wu[3], wu[4]) / d;
      fit.b = det3(wu[0], wyu[0], wu[2], wu[1], wyu[1], wu[3], wu[2], wyu[2], wu[4]) / d;
      return std::isfinite(fit.a) && std::isfinite(fit.b) && std::isfinite(fit.c);
    }
  }
  const long double d2 = wu[0] * wu[2] - wu[1] * wu[1];
  if (!(d2 > 0.0L)) return false;
  fit.c = 0.0L;
  fit.b = (wu[0] * wyu[1] - wu[1] * wyu[0]) / d2;
  fit.a = (wyu[0] - fit.b * wu[1]) / wu[0];
  return std::isfinite(fit.a) && std::isfinite(fit.b);
}

}  // namespace

double unreachedShare(const CoverLengthCounts& pooled, std::int32_t variableCount, const VariableProbabilities* law) {
  if (law != nullptr && !law->isUniform()) return 0.0;  // not scored from cover lengths
  const std::int32_t n = variableCount;
  const std::int32_t shortest = pooled.shortest();
  if (shortest < 1 || shortest > n || pooled.samples == 0) return 0.0;
  long double logP = 0.0L, logQ = 0.0L;
  if (law != nullptr) {
    const long double p = law->uniformTruth();
    if (p <= 0.0L || p >= 1.0L) return 0.0;  // the ends are known exactly
    logP = std::log(p);
    logQ = std::log(static_cast<long double>(law->uniformFalsity()));
  }
  TermWalk walk(pooled, n, logP, logQ);

  // The shortest well measured length, and the largest term from it on.
  std::int32_t measured = -1;
  std::uint64_t belowMeasured = 0;
  long double largest = -std::numeric_limits<long double>::infinity();
  for (walk.start(shortest, 0);; walk.next()) {
    if (measured < 0 && walk.cumulative() >= kWellMeasured) {
      measured = walk.length();
      belowMeasured = walk.cumulative() - walk.here();
    }
    if (measured >= 0) largest = std::max(largest, walk.term());
    if (walk.length() == n) break;
  }
  if (measured < 0) return 0.0;

  // The sum of the well measured terms (relative to the largest), and the lengths to fit.
  const long double floor = std::log(kFitFloor);
  long double measuredSum = 0.0L;
  std::int32_t low = n + 1, high = -1, fitted = 0;
  for (walk.start(measured, belowMeasured);; walk.next()) {
    const long double term = walk.term() - largest;
    measuredSum += std::exp(term);
    if (term >= floor) {
      low = std::min(low, walk.length());
      high = walk.length();
      ++fitted;
    }
    if (walk.length() == n) break;
  }
  if (fitted < 3) return 0.0;  // no shape to extend

  // The fit, in u = (k - centre) / half so that its sums stay well conditioned.
  const long double centre = (low + high) / 2.0L;
  const long double half = std::max((high - low) / 2.0L, 1.0L);
  const auto scaled = [&](std::int32_t k) { return (k - centre) / half; };
  long double wu[5] = {}, wyu[3] = {};
  walk.start(measured, belowMeasured);
  while (walk.length() < low) walk.next();
  for (;; walk.next()) {
    const long double y = walk.term() - largest;
    if (y >= floor) {
      const long double u = scaled(walk.length());
      const long double w = static_cast<long double>(walk.cumulative());
      long double power = w;
      for (int j = 0; j < 5; ++j, power *= u) {
        wu[j] += power;
        if (j < 3) wyu[j] += power * y;
      }
    }
    if (walk.length() == high) break;
  }
  Parabola fit;
  if (!fitConcave(wu, wyu, fit)) return 0.0;

  // The parabola continued below the well measured lengths: the part no sample is expected to
  // reach, t(k) e^-lambda(k), lambda(k) = S t(k) / (C(n, k) weight(k)), summed in logarithms
  // (a parabola still rising below may put there far more than all the rest).
  const long double logMeasured = std::log(measuredSum);
  long double logUnseen = -std::numeric_limits<long double>::infinity();
  long double logBinomial = std::lgamma(n + 1.0L) - std::lgamma(measured + 1.0L) - std::lgamma(n - measured + 1.0L);
  for (std::int32_t k = measured - 1; k >= 1; --k) {
    logBinomial += std::log(static_cast<long double>(k + 1) / static_cast<long double>(n - k));
    const long double u = scaled(k);
    const long double term = fit.at(u);
    const long double missed = term - std::exp(term + largest - walk.weight(k) - logBinomial + walk.logSamples());
    if (missed > -std::numeric_limits<long double>::infinity()) {
      const long double high = std::max(logUnseen, missed);
      logUnseen = high + std::log1p(std::exp(std::min(logUnseen, missed) - high));
    }
    if (logUnseen > logMeasured + 50.0L) break;  // the share is 1 to double precision
    if (term < kNegligible && fit.b + 2.0L * fit.c * u > 0.0L) break;  // falling ever faster below
  }
  return static_cast<double>(1.0L / (1.0L + std::exp(logMeasured - logUnseen)));
}

bool restsOnUnreachedLengths(const CoverLengthCounts& pooled, std::int32_t variableCount,
                             const VariableProbabilities* law) {
  return unreachedShare(pooled, variableCount, law) > kUnreachedShareLimit;
}

}  // namespace monocount
