#include "estimation/numerics/mean.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

namespace monocount {
namespace {

TEST(Mean, WideMeanIsTheDoubleMeanWhenEverythingFits) {
  const std::vector<double> values = {0.1, 0.2, 0.3, 1e16, 1.0};
  std::vector<WideReal> wide(values.begin(), values.end());
  EXPECT_EQ(mean(wide).toDouble(), mean(values));
  // The running means the report keeps give the same bits as the means of the whole sequence.
  RunningMean running;
  RunningWideMean runningWide;
  for (const double value : values) running.add(value), runningWide.add(value);
  EXPECT_EQ(running.value(), mean(values));
  EXPECT_EQ(runningWide.value(), mean(wide));
  EXPECT_TRUE(std::isnan(mean(std::vector<double>{})));
  EXPECT_TRUE(mean(std::vector<WideReal>{}).isNaN());
}

TEST(Mean, WideMeanStaysFiniteWhereTheDoubleSumOverflows) {
  const std::vector<WideReal> near = {WideReal(DBL_MAX), WideReal(DBL_MAX)};
  EXPECT_EQ(mean(near).toDouble(), DBL_MAX);
  const std::vector<WideReal> beyond = {WideReal::powerOfTwo(2000), WideReal::powerOfTwo(2002)};
  EXPECT_EQ(mean(beyond), WideReal::powerOfTwo(2000) * WideReal(2.5));
}

}  // namespace
}  // namespace monocount
