#pragma once

#include <cstdint>
#include <vector>

#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// The arithmetic mean: the elements summed one by one in index order from 0.0, divided by
// their count. No compensated or pairwise summation, so the result is fixed to the last bit.
// An empty sequence gives 0.0 / 0.0, a NaN.
double mean(const std::vector<double>& values);

// The same mean over extended-range values: exactly the double mean above whenever every
// value and the sum fit a double, the extended-range mean otherwise.
WideReal mean(const std::vector<WideReal>& values);

// The two means of a sequence given one value at a time, without storing it: to the last bit
// what mean() returns for the whole sequence.
class RunningMean {
 public:
  void add(double value) {
    sum_ += value;
    ++count_;
  }
  double value() const { return sum_ / static_cast<double>(count_); }

 private:
  double sum_ = 0.0;
  std::uint64_t count_ = 0;
};

class RunningWideMean {
 public:
  void add(const WideReal& value);
  WideReal value() const;

 private:
  RunningMean classic_;  // the double mean of the values rounded to doubles
  WideReal sum_;
  std::uint64_t count_ = 0;
  bool nonFinite_ = false;
  bool beyondDouble_ = false;
};

}  // namespace monocount
