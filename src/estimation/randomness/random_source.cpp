#include "estimation/randomness/random_source.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <ctime>
#include <utility>

namespace monocount {

namespace {

// Full-width product for the remainder by reciprocal; GCC and Clang provide the type on every
// 64-bit target, ISO C++ does not.
__extension__ using Uint128 = unsigned __int128;

// The seeding recurrence's modulus 2^31 - 1, its multiplier, and Schrage's decomposition of
// the modulus by the multiplier: 2147483647 = 16807 * 127773 + 2836.
constexpr std::int64_t kModulus = 2147483647;
constexpr std::int64_t kMultiplier = 16807;
constexpr std::int64_t kQuotient = 127773;
constexpr std::int64_t kRemainder = 2836;

// Outputs thrown away after seeding, ten per word of state.
constexpr int kWarmUp = 310;

// Draws the shuffles take from the generator at a time.
constexpr std::size_t kBatch = 1024;

// Four words of the generator at a time (the vector extension of GCC and Clang: SSE2 on x86-64).
using Words = std::uint32_t __attribute__((vector_size(16)));
inline Words loadWords(const std::uint32_t* from) {
  Words words;
  std::memcpy(&words, from, sizeof words);
  return words;
}
inline void storeWords(std::uint32_t* to, Words words) { std::memcpy(to, &words, sizeof words); }

// a mod d for 32-bit a and d >= 2, with reciprocal = floor((2^64 - 1) / d) + 1 (Lemire, Kaser
// and Kurz, "Faster remainder by direct computation"): the low 64 bits of reciprocal * a are
// the fractional part of a / d, and multiplying it by d brings the remainder into the high
// half. Exact for all 32-bit operands.
inline std::uint32_t remainderByReciprocal(std::uint32_t a, std::uint64_t reciprocal,
                                           std::uint32_t d) {
  const std::uint64_t fraction = reciprocal * a;
  return static_cast<std::uint32_t>((static_cast<Uint128>(fraction) * d) >> 64);
}

}  // namespace

RandomSource::RandomSource() : RandomSource(static_cast<std::uint32_t>(std::time(nullptr))) {}

RandomSource::RandomSource(std::uint32_t seed) {
  if (seed == 0) seed = 1;
  state_[0] = seed;
  // x[i] = 16807 * x[i - 1] mod (2^31 - 1) by Schrage's method on the seed taken as a signed
  // 32-bit word, as the runtime does it: a seed of 2^31 or more starts from a negative word,
  // whose truncated quotient and remainder are negative too.
  auto word = static_cast<std::int32_t>(seed);
  for (int i = 1; i < kDegree; ++i) {
    const std::int64_t hi = word / kQuotient;
    const std::int64_t lo = word % kQuotient;
    std::int64_t next = kMultiplier * lo - kRemainder * hi;
    if (next < 0) next += kModulus;
    word = static_cast<std::int32_t>(next);
    state_[i] = static_cast<std::uint32_t>(word);
  }
  front_ = kSeparation;
  rear_ = 0;
  for (int i = 0; i < kWarmUp; ++i) next();
}

RandomSource::RandomSource(std::seed_seq& sequence) {
  sequence.generate(state_.begin(), state_.end());
  state_[0] |= 1u;
  front_ = kSeparation;
  rear_ = 0;
  for (int i = 0; i < kWarmUp; ++i) next();
}

void RandomSource::fill(std::span<std::uint32_t> out) {
  constexpr std::size_t kWindow = 256;  // values made per round between the window's shifts
  // x: the last 31 words oldest first, then the words made in this round. x[k] = x[k - 31] +
  // x[k - 3] needs a word made three steps before; unfolded once, x[k] = x[k - 31] + x[k - 34] +
  // x[k - 6] needs only words made six or more steps before, so four are made at a time, the
  // last eight kept in registers. The values are the words without their lowest bit.
  std::array<std::uint32_t, kDegree + kWindow> window;
  const auto front = state_.begin() + front_;  // the oldest word
  std::copy(state_.begin(), front, std::copy(front, state_.end(), window.begin()));
  std::uint32_t* x = window.data();
  std::uint32_t* target = out.data();
  std::size_t left = out.size();
  while (left > 0) {
    const std::size_t count = std::min(left, kWindow);
    const std::size_t end = kDegree + count;
    std::size_t k = kDegree;
    const auto make = [&](std::size_t at) {
      x[at] = x[at - kDegree] + x[at - kSeparation];
      target[at - kDegree] = x[at] >> 1;
    };
    for (; k < end && k < kDegree + kSeparation; ++k) make(k);
    if (k + 4 <= end) {
      Words older = loadWords(x + k - 8);
      Words newer = loadWords(x + k - 4);
      for (; k + 4 <= end; k += 4) {
        const Words made = loadWords(x + k - kDegree) + loadWords(x + k - kDegree - kSeparation) +
                           Words{older[2], older[3], newer[0], newer[1]};
        storeWords(x + k, made);
        storeWords(target + k - kDegree, made >> 1);
        older = newer;
        newer = made;
      }
    }
    for (; k < end; ++k) make(k);
    std::copy_n(x + count, kDegree, x);
    target += count;
    left -= count;
  }
  std::copy_n(x, kDegree, state_.begin());
  front_ = 0;
  rear_ = kDegree - kSeparation;
}

OrderShuffler::OrderShuffler(std::int32_t length)
    : length_(length < 0 ? 0 : length), bounds_(static_cast<std::size_t>(length_) + 1) {
  // One chunk serves every bound here (bound <= 2^31 - 1), so the mask is the chunk mask.
  // A draw is kept iff ret / bound < mask / bound, that is iff ret < (mask / bound) * bound,
  // or always when mask + 1 is a multiple of bound.
  for (std::uint32_t bound = 2; bound <= static_cast<std::uint32_t>(length_); ++bound) {
    Bound& b = bounds_[bound];
    b.reciprocal = UINT64_MAX / bound + 1;
    b.threshold = acceptanceLimit(bound);
  }
}

namespace {

// Runs step(p, draw) for p = 1 .. n - 1 with the draw each position keeps, as the bounded
// draws of shuffleOrder would find them. The draws come in batches from RandomSource::fill,
// never more than the positions left need: a rejected draw makes its position take two, so
// such a batch ends a position short and the next one draws the rest. The acceptance limit of
// a bound is at least 2^31 - bound, so a batch whose draws all lie below 2^31 minus its largest
// bound needs no test per draw: nearly every batch (a draw is flagged with probability about
// bound / 2^31), found by one pass the compiler vectorizes.
template <typename Bound, typename Step>
void drawPositions(std::size_t n, const Bound* bounds, RandomSource& source, Step step) {
  std::array<std::uint32_t, kBatch> draws;
  std::size_t p = 1;
  while (p < n) {
    const std::size_t count = std::min(kBatch, n - p);
    source.fill({draws.data(), count});
    // Draws are below 2^31, so a signed comparison serves (SSE2 has no unsigned one).
    const auto highestSafe = static_cast<std::int32_t>(std::size_t{kChunkMask} - (p + count));
    std::int32_t flagged = 0;
    for (std::size_t i = 0; i < count; ++i) flagged |= static_cast<std::int32_t>(draws[i]) > highestSafe;
    if (flagged == 0) {
#pragma GCC unroll 4
      for (std::size_t i = 0; i < count; ++i) step(p + i, draws[i]);
      p += count;
      continue;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (draws[i] >= bounds[p + 1].threshold) continue;
      step(p++, draws[i]);
    }
  }
}

}  // namespace

void OrderShuffler::shuffle(std::span<std::int32_t> order, RandomSource& source) const {
  assert(order.size() <= static_cast<std::size_t>(length_));
  const Bound* bounds = bounds_.data();
  std::int32_t* slots = order.data();
  drawPositions(order.size(), bounds, source, [&](std::size_t p, std::uint32_t draw) {
    const auto r = remainderByReciprocal(draw, bounds[p + 1].reciprocal, static_cast<std::uint32_t>(p + 1));
    std::swap(slots[p], slots[r]);
  });
}

void OrderShuffler::drawOrder(std::span<std::int32_t> order, RandomSource& source) const {
  assert(order.size() <= static_cast<std::size_t>(length_));
  if (order.empty()) return;
  const Bound* bounds = bounds_.data();
  std::int32_t* slots = order.data();
  slots[0] = 0;
  drawPositions(order.size(), bounds, source, [&](std::size_t p, std::uint32_t draw) {
    const auto r = remainderByReciprocal(draw, bounds[p + 1].reciprocal, static_cast<std::uint32_t>(p + 1));
    slots[p] = slots[r];
    slots[r] = static_cast<std::int32_t>(p);
  });
}

}  // namespace monocount
