#include "estimation/randomness/split_engine.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace monocount {
namespace {

TEST(SplitEngine, DrawsStayInRangeAndSpreadEvenly) {
  SplitEngine engine(3);
  for (const std::uint32_t bound : {1u, 2u, 3u, 7u, 1000u, 0xFFFFFFFFu}) {
    std::map<std::uint32_t, int> seen;
    const int draws = 70000;
    for (int i = 0; i < draws; ++i) {
      const std::uint32_t value = engine.below(bound);
      ASSERT_LT(value, bound);
      if (bound <= 7) ++seen[value];
    }
    for (const auto& [value, count] : seen) {
      const double share = 1.0 / bound;
      EXPECT_NEAR(count / static_cast<double>(draws), share, 5 * std::sqrt(share * (1 - share) / draws)) << value;
    }
    if (bound <= 7) {
      EXPECT_EQ(seen.size(), bound);
    }
  }
  for (int i = 0; i < 1000; ++i) {
    const double unit = engine.unit();
    ASSERT_GE(unit, 0.0);
    ASSERT_LT(unit, 1.0);
  }
}

}  // namespace
}  // namespace monocount
