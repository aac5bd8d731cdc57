#include "estimation/randomness/random_source.hpp"

#include <cassert>
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

void OrderShuffler::shuffle(std::span<std::int32_t> order, RandomSource& source) const {
  assert(order.size() <= static_cast<std::size_t>(length_));
  const std::size_t n = order.size();
  const Bound* bounds = bounds_.data();
  for (std::size_t p = 1; p < n; ++p) {
    const Bound& bound = bounds[p + 1];
    std::uint32_t draw = source.next();
    while (draw >= bound.threshold) draw = source.next();
    const auto r = remainderByReciprocal(draw, bound.reciprocal, static_cast<std::uint32_t>(p + 1));
    std::swap(order[p], order[r]);
  }
}

void OrderShuffler::drawOrder(std::span<std::int32_t> order, RandomSource& source) const {
  assert(order.size() <= static_cast<std::size_t>(length_));
  const std::size_t n = order.size();
  if (n == 0) return;
  const Bound* bounds = bounds_.data();
  std::int32_t* slots = order.data();
  slots[0] = 0;
  for (std::size_t p = 1; p < n; ++p) {
    const Bound& bound = bounds[p + 1];
    std::uint32_t draw = source.next();
    while (draw >= bound.threshold) draw = source.next();
    const auto r = remainderByReciprocal(draw, bound.reciprocal, static_cast<std::uint32_t>(p + 1));
    slots[p] = slots[r];
    slots[r] = static_cast<std::int32_t>(p);
  }
}

}  // namespace monocount
