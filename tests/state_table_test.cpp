#include "estimation/exact/state_table.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace monocount {
namespace {

TEST(StateTable, ListsCountsAndFindsExactlyTheStatesMeetingEveryMask) {
  struct Case {
    std::int32_t bits;
    std::vector<std::uint64_t> masks;
    std::int32_t threads;
  };
  const Case cases[] = {
      {0, {}, 1},                                      // the one empty state
      {5, {}, 1},                                      // no clause: every state
      {6, {0b11, 0b110, 0b1100, 0b11000, 0b110000}, 1},  // a path: Fibonacci many
      {6, {0b100001, 0b11, 0b110, 0b1100, 0b11000, 0b110000}, 1},  // a cycle
      {7, {0b1, 0b1010100, 0b1000000, 0b111}, 1},      // a unit, a wide mask, a mask inside another
      {16, {0b11, 0b110, 0b1100000000000000, 0b1000000000000001, 0b1111000000}, 1},
      {16, {0b11, 0b110, 0b1100000000000000, 0b1000000000000001, 0b1111000000}, 3},  // split by the top bits
  };
  for (const Case& c : cases) {
    std::vector<std::uint64_t> expected;
    for (std::uint64_t state = 0; state < (std::uint64_t{1} << c.bits); ++state) {
      bool meetsAll = true;
      for (const std::uint64_t m : c.masks) meetsAll = meetsAll && (state & m) != 0;
      if (meetsAll) expected.push_back(state);
    }
    const StateTable table(c.bits, c.masks, c.threads);
    std::vector<std::uint64_t> listed;
    for (std::size_t rank = 0; rank < table.size(); ++rank) {
      listed.push_back(table.key(rank));
      EXPECT_EQ(table.find(table.key(rank)), rank);
    }
    EXPECT_EQ(listed, expected) << c.bits << " bits, " << c.masks.size() << " masks";
    EXPECT_EQ(StateTable::count(c.bits, c.masks, 1e18), static_cast<double>(expected.size()));
  }
}

}  // namespace
}  // namespace monocount
