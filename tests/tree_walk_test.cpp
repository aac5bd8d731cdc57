#include "estimation/exact/tree_walk.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace monocount {
namespace {

TEST(ChildProjection, GathersTheChildsBitsInOrder) {
  const std::vector<std::vector<std::int32_t>> cases = {
      {}, {0}, {1, 2, 3}, {0, 2, 3, 7, 8, 9, 10, 40}, {5, 63}};
  std::mt19937_64 random(1);
  for (const auto& positions : cases) {
    const ChildProjection project(positions);
    for (int trial = 0; trial < 100; ++trial) {
      const std::uint64_t bag = random();
      std::uint64_t expected = 0;
      for (std::size_t j = 0; j < positions.size(); ++j) expected |= (bag >> positions[j] & 1U) << j;
      EXPECT_EQ(project(bag), expected) << positions.size();
    }
  }
}

}  // namespace
}  // namespace monocount
