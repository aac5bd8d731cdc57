#include "estimation/parallel/block_sums.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

namespace monocount {
namespace {

TEST(BlockSums, TheSameDigitsInWhateverOrderTheBlocksArrive) {
  // Values whose rounded sums depend on the order of addition: only the fixed tree makes the
  // totals agree. Block counts around powers of two, where right children go missing.
  for (const std::int64_t blocks : {1, 2, 7, 8, 13}) {
    const auto value = [](std::int64_t block, std::size_t k) {
      return WideReal(std::ldexp(1.0 + 0.1 * static_cast<double>(block), static_cast<int>(block % 5) * 20) / (3.0 + k));
    };
    std::vector<std::int64_t> order(static_cast<std::size_t>(blocks));
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::vector<WideReal>> totals;
    std::mt19937 shuffle(4);
    for (int arrangement = 0; arrangement < 4; ++arrangement) {
      BlockSums sums(blocks, 3);
      for (const std::int64_t block : order) {
        std::vector<WideReal> values{value(block, 0), value(block, 1), value(block, 2)};
        sums.add(block, values);
        ASSERT_EQ(values, std::vector<WideReal>(3));
      }
      totals.push_back(sums.total());
      std::shuffle(order.begin(), order.end(), shuffle);
    }
    for (const auto& total : totals) EXPECT_EQ(total, totals.front()) << blocks << " blocks";
  }
}

}  // namespace
}  // namespace monocount
