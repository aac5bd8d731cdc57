#pragma once

#include <cmath>
#include <cstdint>

#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// The count, mean and sum of squared deviations of values given one at a time, in extended
// range, so nothing is stored and nothing overflows: Welford's update for one value, and the
// update of Chan, Golub and LeVeque for two summaries merged. Values added in the same order,
// and summaries merged in the same order, give the same digits.
class RunningStatistics {
 public:
  void add(const WideReal& value) {
    ++count_;
    const WideReal deviation = value - mean_;
    mean_ += deviation / WideReal(static_cast<double>(count_));
    squares_ += deviation * (value - mean_);
  }

  // Takes in the values summarized by `other`, as if they had followed these.
  void merge(const RunningStatistics& other);

  std::int64_t count() const { return count_; }
  // The mean of the values (0 while there are none).
  const WideReal& mean() const { return mean_; }
  // The sum of their squared deviations from the mean.
  const WideReal& squares() const { return squares_; }

 private:
  std::int64_t count_ = 0;
  WideReal mean_;
  WideReal squares_;
};

// The relative standard error of the mean of `count` values whose squared deviations from
// their mean `mean` sum to `squares`, as the classic estimator reports it: the population
// standard deviation sqrt(squares / count) over sqrt(count) * mean, in that order of
// operations. For double (the classic arithmetic, to the last bit) and for WideReal.
template <typename Real>
Real relativeStandardError(const Real& squares, const Real& count, const Real& mean) {
  using std::sqrt;
  return sqrt(squares / count) / (sqrt(count) * mean);
}

}  // namespace monocount
