#include "estimation/parallel/rank_group.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <stdexcept>

namespace monocount {
namespace {

TEST(ShareOf, ContiguousRangesInRankOrderCoverEveryItemOnce) {
  struct Case {
    std::int64_t count;
    int size;
  };
  for (const Case c : {Case{10, 3}, Case{2, 5}, Case{0, 4}, Case{7, 1}, Case{1000001, 64}}) {
    std::int64_t next = 0;
    for (int rank = 0; rank < c.size; ++rank) {
      const Share share = shareOf(c.count, rank, c.size);
      EXPECT_EQ(share.first, next) << c.count << " over " << c.size;
      EXPECT_LE(share.end - share.first, c.count / c.size + 1);
      EXPECT_GE(share.end - share.first, c.count / c.size);
      next = share.end;
    }
    EXPECT_EQ(next, c.count);
  }
}

TEST(RunTogether, AloneTheStepsOwnExceptionGoesOn) {
  SingleProcess alone;
  EXPECT_THROW(runTogether(alone, [] { throw std::invalid_argument("bad"); }), std::invalid_argument);
  EXPECT_THROW(alone.agree("rank 0 failed"), std::runtime_error);
  EXPECT_THROW(alone.agree(std::string(std::bad_alloc().what())), std::bad_alloc);  // memory ran out, on some rank
  EXPECT_NO_THROW(alone.agree(std::nullopt));
}

}  // namespace
}  // namespace monocount
