#include "estimation/parallel/block_runner.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace monocount {
namespace {

TEST(RunBlocks, EveryBlockOnceOnAWorkerInRangeWithProgressOnWorkerZero) {
  struct Case {
    std::int64_t first, end;
    std::int32_t workers;
  };
  const Case cases[] = {{0, 100, 1}, {5, 105, 2}, {0, 3, 7}, {10, 10, 4}, {0, 1000, 7}};
  for (const Case& c : cases) {
    std::vector<std::atomic<int>> runs(static_cast<std::size_t>(c.end));
    std::atomic<bool> outOfRange{false};
    std::vector<std::int64_t> reports;
    runBlocks(
        c.first, c.end, c.workers,
        [&](std::int32_t worker, std::int64_t block) {
          if (worker < 0 || worker >= c.workers || block < c.first || block >= c.end) outOfRange = true;
          ++runs[static_cast<std::size_t>(block)];
        },
        [&](std::int64_t finished) { reports.push_back(finished); });
    EXPECT_FALSE(outOfRange);
    for (std::int64_t block = c.first; block < c.end; ++block) EXPECT_EQ(runs[static_cast<std::size_t>(block)], 1);
    for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_LE(reports.empty() ? 0 : reports.back(), c.end - c.first);
    EXPECT_TRUE(c.workers > 1 || reports.size() == static_cast<std::size_t>(c.end - c.first));
  }
}

TEST(RunBlocks, AFailingBlockStopsTheWorkersAndItsExceptionReachesTheCaller) {
  for (const std::int32_t workers : {1, 3}) {
    std::atomic<std::int64_t> ran{0};
    EXPECT_THROW(runBlocks(0, 100000, workers,
                           [&](std::int32_t, std::int64_t block) {
                             ++ran;
                             if (block == 10) throw std::runtime_error("block 10");
                           }),
                 std::runtime_error);
    EXPECT_LT(ran, 100000) << workers;
  }
}

}  // namespace
}  // namespace monocount
