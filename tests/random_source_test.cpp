#include "estimation/randomness/random_source.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <numeric>
#include <vector>

#include "support/reference_estimator.hpp"

namespace monocount {
namespace {

namespace reference = support::reference;


// Seeds at the edges of the seeding arithmetic (0 acts as 1; from 2^31 on the first word is
// negative as a signed 32-bit value) and a spread of ordinary ones.
std::vector<std::uint32_t> testSeeds() {
  std::vector<std::uint32_t> seeds = {0u,          1u,          2u,          127773u,
                                      2147483646u, 2147483647u, 2147483648u, 2147483649u,
                                      4294967294u, 4294967295u, 1700000000u};
  std::uint32_t x = 0x9E3779B9u;
  for (int i = 0; i < 29; ++i) {  // xorshift32, independent of the generator under test
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    seeds.push_back(x);
  }
  return seeds;
}

std::vector<std::int32_t> identity(std::size_t n) {
  std::vector<std::int32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  return order;
}

// RandomSource counting the values it hands out.
struct CountedSource {
  static constexpr std::uint32_t max() { return RandomSource::max(); }
  std::uint32_t next() {
    ++draws;
    return source.next();
  }
  RandomSource source;
  std::uint64_t draws = 0;
};

TEST(RandomSource, ReproducesTheRuntimeSequence) {
  if (!reference::runtimeRandIsReproduced()) GTEST_SKIP() << reference::kRuntimeRandNotReproduced;
  // 40 seeds x 75,000 draws = 3,000,000 draws compared with srand/rand.
  for (std::uint32_t seed : testSeeds()) {
    RandomSource source(seed);
    std::srand(seed);
    for (int i = 0; i < 75000; ++i) {
      const auto expected = static_cast<std::uint32_t>(std::rand());
      const std::uint32_t actual = source.next();
      if (actual != expected) {
        FAIL() << "seed " << seed << ", draw " << i << ": " << actual << " != " << expected;
      }
    }
  }
}

TEST(RandomSource, DefaultConstructorSeedsWithTheClock) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto before = static_cast<std::uint32_t>(std::time(nullptr));
    RandomSource fromClock;
    const auto after = static_cast<std::uint32_t>(std::time(nullptr));
    if (before != after) continue;  // crossed a second boundary: the seed is ambiguous
    RandomSource expected(before);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(fromClock.next(), expected.next());
    return;
  }
  FAIL() << "the clock never stood still for one construction";
}

// Bounds up to 2^31 take one 31-bit chunk per attempt, larger ones two; bounds just past a
// power of two reject up to half the attempts. Driven by the runtime's rand() (through the
// reference) it gives what it gives on RandomSource, draw for draw.
TEST(UniformBelow, DrawsWholeChunksAndRejectsIncompleteBlocks) {
  struct Case {
    std::uint32_t bound;
    double drawsPerValue;  // expected, within 10 %
  };
  const Case cases[] = {{2, 1.0},
                        {3, 1.0},
                        {32768, 1.0},
                        {32769, 1.0},
                        {1u << 30, 1.0},
                        {3u << 29, 4.0 / 3.0},     // a quarter of the attempts rejected
                        {(1u << 30) + 1, 2.0},     // about half of them
                        {1u << 31, 1.0},
                        {(1u << 31) - 1, 1.0},
                        {(1u << 31) + 1, 4.0},     // two chunks per attempt, half rejected
                        {4294967295u, 2.0}};
  const bool runtimeReproduced = reference::runtimeRandIsReproduced();
  for (const Case& c : cases) {
    CountedSource counted{RandomSource(5), 0};
    reference::RuntimeRand runtime;
    std::srand(5);
    constexpr int kValues = 4000;
    for (int i = 0; i < kValues; ++i) {
      const std::uint32_t value = uniformBelow(c.bound, counted);
      ASSERT_LT(value, c.bound);
      if (runtimeReproduced) {
        ASSERT_EQ(uniformBelow(c.bound, runtime), value) << "bound " << c.bound;
      }
    }
    EXPECT_NEAR(static_cast<double>(counted.draws) / kValues, c.drawsPerValue, 0.1 * c.drawsPerValue)
        << "bound " << c.bound;
  }
}

// Worked out by hand: the limit is 2^31 - (2^31 mod bound).
TEST(OrderShuffler, AcceptanceLimits) {
  struct Case {
    std::uint32_t bound;
    std::uint32_t limit;
  };
  const Case cases[] = {
      {2, 2147483648u},                  // a power of two: every draw is kept
      {32768, 2147483648u},              // likewise
      {3, 2147483646u},                  // 2^31 = 2 (mod 3): 2^31 - 2 and 2^31 - 1 rejected
      {5, 2147483645u},                  // 2^31 = 2^3 (mod 5), since 2^4 = 1
      {7, 2147483646u},                  // 2^3 = 1 (mod 7), so 2^31 = 2
      {32769, 2147483646u},              // 2^15 = -1 (mod 2^15 + 1), so 2^31 = 2
      {1000000, 2147000000u},            // 2^31 = 2147483648
      {(1u << 30) + 1, (1u << 30) + 1},  // one whole block: nearly half is rejected
      {(1u << 31) - 1, (1u << 31) - 1},  // only 2^31 - 1 is rejected
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OrderShuffler::acceptanceLimit(c.bound), c.limit) << "bound " << c.bound;
  }
}

TEST(ShuffleOrder, ShortOrdersDrawNothing) {
  for (std::size_t n : {0u, 1u}) {
    RandomSource source(77);
    RandomSource untouched = source;
    std::vector<std::int32_t> order = identity(n);
    shuffleOrder(order, source);
    OrderShuffler(1).shuffle(order, source);
    OrderShuffler(1).drawOrder(order, source);
    EXPECT_EQ(order, identity(n));
    EXPECT_EQ(source.next(), untouched.next());
  }
}

TEST(ShuffleOrder, TwoElementsSwapExactlyOnAnEvenDraw) {
  const OrderShuffler shuffler(2);
  int swaps = 0;
  for (std::uint32_t seed = 0; seed < 200; ++seed) {
    RandomSource plain(seed);
    RandomSource fast(seed);
    RandomSource peek(seed);
    const std::uint32_t draw = peek.next();
    std::vector<std::int32_t> a{0, 1};
    std::vector<std::int32_t> b{0, 1};
    shuffleOrder(a, plain);
    shuffler.shuffle(b, fast);
    const std::vector<std::int32_t> expected =
        draw % 2 == 0 ? std::vector<std::int32_t>{1, 0} : std::vector<std::int32_t>{0, 1};
    ASSERT_EQ(a, expected) << "seed " << seed;
    ASSERT_EQ(b, expected) << "seed " << seed;
    const std::uint32_t following = peek.next();  // exactly one draw was used
    ASSERT_EQ(plain.next(), following);
    ASSERT_EQ(fast.next(), following);
    swaps += draw % 2 == 0;
  }
  EXPECT_GT(swaps, 0);
  EXPECT_LT(swaps, 200);
}

// OrderShuffler gives the orders of the classic shuffleOrder, on RandomSource and on the
// runtime's rand(), and leaves the sequence at the same place, over repeated in-place shuffles. Lengths past 32768 reach
// bounds where power-of-two bounds accept every draw and others reject with probability up
// to bound / 2^31: at 200,000 a shuffle rejects about five draws. One shuffler prepared for
// the longest order serves all the shorter ones.
TEST(ShuffleOrder, AllImplementationsAgree) {
  if (!reference::runtimeRandIsReproduced()) GTEST_SKIP() << reference::kRuntimeRandNotReproduced;
  struct Case {
    std::size_t length;
    int seeds;
    int rounds;
  };
  const Case cases[] = {{2, 40, 8},    {3, 40, 8},    {4, 40, 8},    {5, 40, 8},
                        {17, 40, 8},   {64, 40, 8},   {1000, 20, 4}, {32768, 3, 2},
                        {32769, 3, 2}, {70001, 2, 2}, {200000, 1, 5}};
  const std::vector<std::uint32_t> seeds = testSeeds();
  const OrderShuffler shuffler(200000);
  std::uint64_t rejections = 0;
  for (const Case& c : cases) {
    for (int s = 0; s < c.seeds; ++s) {
      const std::uint32_t seed = seeds[static_cast<std::size_t>(s) % seeds.size()];
      CountedSource plainSource{RandomSource(seed), 0};
      RandomSource fastSource(seed);
      RandomSource drawSource(seed);  // drawOrder: other orders, the same draws
      std::srand(seed);
      std::vector<std::int32_t> plain = identity(c.length);
      std::vector<std::int32_t> fast = plain;
      std::vector<std::int32_t> runtime = plain;
      std::vector<std::int32_t> drawn(c.length, -1);
      reference::RuntimeRand runtimeSource;
      for (int round = 0; round < c.rounds; ++round) {
        const std::uint64_t before = plainSource.draws;
        shuffleOrder(plain, plainSource);
        shuffler.shuffle(fast, fastSource);
        shuffler.drawOrder(drawn, drawSource);
        shuffleOrder(runtime, runtimeSource);
        rejections += plainSource.draws - before - (c.length - 1);
        ASSERT_EQ(plain, runtime) << "length " << c.length << " seed " << seed;
        ASSERT_EQ(fast, runtime) << "length " << c.length << " seed " << seed;
      }
      const auto next = static_cast<std::uint32_t>(std::rand());
      ASSERT_EQ(plainSource.source.next(), next);
      ASSERT_EQ(fastSource.next(), next);
      ASSERT_EQ(drawSource.next(), next);
      for (std::vector<std::int32_t> sorted : {fast, drawn}) {
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, identity(c.length));
      }
    }
  }
  EXPECT_GT(rejections, 0u) << "no rejection was exercised";
}

// All 24 orders of four elements, shuffled again and again in place, and drawn afresh. The
// chi-square statistic has 23 degrees of freedom; 49.7 is its 0.1% point.
TEST(ShuffleOrder, AllOrdersOfFourAreEquallyLikely) {
  for (const bool fresh : {false, true}) {
    constexpr int kSamples = 240000;
    RandomSource source(20240601);
    const OrderShuffler shuffler(4);
    std::vector<std::int32_t> order = identity(4);
    // An order of four elements as a base-4 number.
    const auto key = [](const std::vector<std::int32_t>& o) {
      return static_cast<std::size_t>(o[0] * 64 + o[1] * 16 + o[2] * 4 + o[3]);
    };
    std::array<int, 256> counts{};
    for (int s = 0; s < kSamples; ++s) {
      if (fresh) {
        shuffler.drawOrder(order, source);
      } else {
        shuffler.shuffle(order, source);
      }
      ++counts[key(order)];
    }
    std::vector<std::int32_t> perm = identity(4);
    double chiSquare = 0.0;
    int seen = 0;
    do {
      const double observed = counts[key(perm)];
      const double expected = kSamples / 24.0;
      chiSquare += (observed - expected) * (observed - expected) / expected;
      seen += static_cast<int>(observed);
    } while (std::next_permutation(perm.begin(), perm.end()));
    EXPECT_EQ(seen, kSamples) << (fresh ? "drawOrder" : "shuffle");
    EXPECT_LT(chiSquare, 49.7) << (fresh ? "drawOrder" : "shuffle");
  }
}

// Every element lands on every position equally often. With 100,000 shuffles of 20 elements
// a cell expects 5,000 with a standard deviation near 69; 400 is almost six of them, far
// below what a biased draw (an off-by-one bound, a missed swap) produces.
TEST(ShuffleOrder, EveryElementReachesEveryPositionEvenly) {
  constexpr std::size_t kLength = 20;
  constexpr int kSamples = 100000;
  RandomSource source(31337);
  std::vector<std::int32_t> order = identity(kLength);
  std::vector<int> counts(kLength * kLength, 0);
  for (int s = 0; s < kSamples; ++s) {
    shuffleOrder(order, source);
    for (std::size_t p = 0; p < kLength; ++p) {
      ++counts[p * kLength + static_cast<std::size_t>(order[p])];
    }
  }
  const int expected = kSamples / static_cast<int>(kLength);
  for (std::size_t cell = 0; cell < counts.size(); ++cell) {
    EXPECT_NEAR(counts[cell], expected, 400)
        << "position " << cell / kLength << ", element " << cell % kLength;
  }
}

}  // namespace
}  // namespace monocount
