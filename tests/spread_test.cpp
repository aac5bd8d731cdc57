#include "estimation/pooled/spread.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace monocount {
namespace {

TEST(Spread, PooledValueFromTheSpreadOfTheEstimates) {
  struct Case {
    std::vector<double> values;
    double scale;  // every value times 2^scale: the same figures far beyond the double range
    double mean, standardError, low, high;
  };
  // Standard errors: sample standard deviation over sqrt(R); half widths t(0.975, R - 1) * SE.
  const Case cases[] = {
      {{1, 2, 3, 4}, 0, 2.5, 0.6454972243679028, 2.5 - 3.182446305284263 * 0.6454972243679028,
       2.5 + 3.182446305284263 * 0.6454972243679028},
      {{1, 2, 3, 4}, 3000, 2.5, 0.6454972243679028, 2.5 - 3.182446305284263 * 0.6454972243679028,
       2.5 + 3.182446305284263 * 0.6454972243679028},
      {{0, 10}, 0, 5, 5, 0, 5 + 12.706204736174707 * 5},  // the lower end raised to 0
      {{7, 7, 7}, 0, 7, 0, 7, 7},
  };
  for (const Case& c : cases) {
    Spread spread;
    const WideReal unit = WideReal::powerOfTwo(static_cast<std::int64_t>(c.scale));
    for (const double value : c.values) spread.add(WideReal(value) * unit);
    const PooledValue pooledValue = pooled(spread);
    const auto unscaled = [&](const WideReal& value) { return (value / unit).toDouble(); };
    EXPECT_NEAR(unscaled(pooledValue.mean), c.mean, 1e-12);
    ASSERT_TRUE(pooledValue.standardError && pooledValue.low && pooledValue.high);
    EXPECT_NEAR(unscaled(*pooledValue.standardError), c.standardError, 1e-12);
    EXPECT_NEAR(*pooledValue.relativeError, c.standardError / c.mean, 1e-12);
    EXPECT_NEAR(unscaled(*pooledValue.low), c.low, 1e-9);
    EXPECT_NEAR(unscaled(*pooledValue.high), c.high, 1e-9);
  }
}

TEST(Spread, OneEstimateHasNoSpreadAndNoneHasNoMean) {
  Spread spread;
  EXPECT_TRUE(pooled(spread).mean.isNaN());
  spread.add(5.0);
  const PooledValue one = pooled(spread);
  EXPECT_EQ(one.mean.toDouble(), 5.0);
  EXPECT_FALSE(one.standardError || one.relativeError || one.low || one.high);
}

}  // namespace
}  // namespace monocount
