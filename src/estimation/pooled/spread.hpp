#pragma once

#include <cstdint>
#include <optional>

#include "estimation/numerics/running_statistics.hpp"
#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// The mean and spread of independent estimates of one quantity (the replications' estimates
// of the count, of one N(k), of one probability), given one at a time, in extended range,
// nothing stored (RunningStatistics).
class Spread {
 public:
  void add(const WideReal& value) { values_.add(value); }
  std::int64_t count() const { return values_.count(); }
  // The mean of the values; NaN when there are none.
  WideReal mean() const;
  // The standard error of the mean: the sample standard deviation (divisor count - 1) over
  // sqrt(count). None for fewer than two values, which show no spread.
  std::optional<WideReal> standardError() const;

 private:
  RunningStatistics values_;
};

// A pooled answer: the mean of the estimates, and when they show a spread, its standard
// error, relative error (standard error over the mean; 0 when both are 0) and the 95 %
// confidence interval from Student's t with count - 1 degrees of freedom, its lower end raised
// to 0 (every quantity pooled here is non-negative).
struct PooledValue {
  WideReal mean;
  std::optional<WideReal> standardError;
  std::optional<double> relativeError;
  std::optional<WideReal> low;
  std::optional<WideReal> high;
};

// The pooled answer of `spread` around `mean` (its own mean, or the same mean summed another
// way, as the report's Average line sums the count).
PooledValue pooled(const Spread& spread, const WideReal& mean);
inline PooledValue pooled(const Spread& spread) { return pooled(spread, spread.mean()); }

}  // namespace monocount
