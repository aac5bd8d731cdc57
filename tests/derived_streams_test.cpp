#include "estimation/randomness/derived_streams.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace monocount {
namespace {

std::array<std::uint32_t, 3> firstOfSource(const StreamKey& key) {
  RandomSource source = derivedSource(key);
  return {source.next(), source.next(), source.next()};
}

std::array<std::uint32_t, 3> firstOfEngine(const StreamKey& key) {
  SplitEngine engine = derivedEngine(key);
  return {engine.below(0xFFFFFFFFu), engine.below(0xFFFFFFFFu), engine.below(0xFFFFFFFFu)};
}

// Every digit printed from block streams rests on these derivations, so the first draws of one
// stream are pinned: a change to the derivation must show up here, not in users' results. Each
// field of the key, the high word of the block included, names another stream.
TEST(DerivedStreams, ThePinnedStreamAndOneOtherPerFieldOfTheKey) {
  const StreamKey pinned{.seed = 5, .use = StreamUse::samples, .replication = 1, .block = 3};
  EXPECT_EQ(firstOfSource(pinned), (std::array<std::uint32_t, 3>{1763097500, 2130975171, 1775765641}));
  EXPECT_EQ(firstOfEngine(pinned), (std::array<std::uint32_t, 3>{3242217758, 1074332595, 3290854624}));
  const StreamKey others[] = {
      {.seed = 6, .use = StreamUse::samples, .replication = 1, .block = 3},
      {.seed = 5, .use = static_cast<StreamUse>(2), .replication = 1, .block = 3},
      {.seed = 5, .use = StreamUse::samples, .replication = 2, .block = 3},
      {.seed = 5, .use = StreamUse::samples, .replication = 1, .block = 4},
      {.seed = 5, .use = StreamUse::samples, .replication = 1, .block = 3 + (std::uint64_t{1} << 32)},
  };
  for (const StreamKey& other : others) {
    EXPECT_NE(firstOfSource(other), firstOfSource(pinned));
    EXPECT_NE(firstOfEngine(other), firstOfEngine(pinned));
  }
}

}  // namespace
}  // namespace monocount
