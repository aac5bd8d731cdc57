#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <utility>
#include <vector>

namespace monocount {

// The source of the classic estimator's randomness: the C runtime's additive feedback
// generator (the one behind srand/rand on this platform, RAND_MAX = 2^31 - 1), reproduced on a
// private state so that draws take no lock. For a given seed it yields exactly the sequence
// that srand(seed) followed by rand() calls yields; nothing in the program calls rand itself.
class RandomSource {
 public:
  // Seeds with the low 32 bits of the current calendar time (time(nullptr)).
  RandomSource();
  // Seeds with an explicit value, as srand(seed) would.
  explicit RandomSource(std::uint32_t seed);
  // Seeds the same generator from a seed sequence instead of the runtime's recurrence: the 31
  // state words are the sequence's first 31 words, with the lowest bit of the first one set
  // (some word must be odd for the full period), followed by the same 310 warm-up steps. The
  // sequence no longer comes from srand: this is how block streams get their generators.
  explicit RandomSource(std::seed_seq& sequence);

  // The largest value next() returns (RAND_MAX of the runtime reproduced).
  static constexpr std::uint32_t max() { return 0x7FFFFFFFu; }

  // The next value of the sequence, in 0 .. 2^31 - 1, as rand() would return it. The state
  // words add modulo 2^32; the lowest bit of the sum, the least random one, is dropped.
  std::uint32_t next() {
    std::uint32_t value = state_[front_] += state_[rear_];
    if (++front_ == kDegree) front_ = 0;
    if (++rear_ == kDegree) rear_ = 0;
    return value >> 1;
  }

 private:
  static constexpr int kDegree = 31;     // words of state: x[k] = x[k - 31] + x[k - 3]
  static constexpr int kSeparation = 3;  // the front index starts this far ahead of the rear

  std::array<std::uint32_t, kDegree> state_{};
  int front_ = kSeparation;
  int rear_ = 0;
};

// Width and mask of one chunk of random bits, worked out from a generator's maximum (RAND_MAX):
// the widest w with 2^w - 1 <= the maximum. For RandomSource w = 31.
struct Chunk {
  std::uint32_t bits;
  std::uint32_t mask;
};
constexpr Chunk chunkOf(std::uint32_t maximum) {
  Chunk chunk{32, 0xFFFFFFFFu};
  while (chunk.mask > maximum) {
    chunk.mask >>= 1;
    --chunk.bits;
  }
  return chunk;
}
inline constexpr std::uint32_t kChunkBits = chunkOf(RandomSource::max()).bits;
inline constexpr std::uint32_t kChunkMask = chunkOf(RandomSource::max()).mask;

// The classic statements of the shuffle and its bounded draws, as plainly as the classic tool
// computes them, over any generator with next() and max() (values 0 .. max(), as rand() gives
// them up to RAND_MAX): RandomSource, or the C runtime's own rand() (the test support's
// reference drives them so).
// OrderShuffler is the fast path; the tests hold it to these.

// A value uniform on 0 .. bound - 1 (bound >= 2), built from whole chunks of the generator:
// chunks are shifted in until the mask covers bound - 1 (a chunk above the mask is discarded
// and drawn again), and a value is kept when it lies in a complete block of `bound` values
// counted from 0 (ret / bound < mask / bound, or mask + 1 a multiple of bound); otherwise fresh
// chunks are drawn. With RandomSource every bound up to 2^31 takes one chunk per attempt.
template <typename Generator>
std::uint32_t uniformBelow(std::uint32_t bound, Generator& source) {
  constexpr Chunk chunk = chunkOf(Generator::max());
  const auto draw = [&] {
    for (;;) {
      const auto value = static_cast<std::uint32_t>(source.next());
      if (value <= chunk.mask) return value;
    }
  };
  for (;;) {
    std::uint32_t ret = 0;
    std::uint32_t mask = 0;
    while (mask < bound - 1) {
      // A shift by the full 32 bits would be undefined; it only happens with a 32-bit chunk,
      // where one chunk already covers every bound.
      ret = (chunk.bits < 32 ? ret << chunk.bits : 0u) | draw();
      mask = (chunk.bits < 32 ? mask << chunk.bits : 0u) | chunk.mask;
    }
    if (ret / bound < mask / bound || mask % bound == bound - 1) return ret % bound;
  }
}

// Fisher-Yates, running forward from the second element: for p = 1 .. n - 1, exchange
// positions p and uniformBelow(p + 1). Fewer than two elements draw nothing.
template <typename Generator>
void shuffleOrder(std::span<std::int32_t> order, Generator& source) {
  for (std::size_t p = 1; p < order.size(); ++p) {
    const std::uint32_t r = uniformBelow(static_cast<std::uint32_t>(p + 1), source);
    std::swap(order[p], order[r]);
  }
}

// The same shuffle with the divisions taken out: per bound, the acceptance threshold and a
// reciprocal for the remainder are precomputed once, so a draw costs one generator step, one
// comparison and two multiplications. Draws and results are identical to shuffleOrder's.
class OrderShuffler {
 public:
  // Prepares every bound from 2 to `length` (16 bytes per bound). A length below 2 prepares
  // nothing and serves only orders that need no draw.
  explicit OrderShuffler(std::int32_t length);

  // Shuffles `order` in place exactly as shuffleOrder would. Requires order.size() <= the
  // length given to the constructor; nothing is checked in release builds.
  void shuffle(std::span<std::int32_t> order, RandomSource& source) const;

  // Fills `order` with a uniformly random permutation of 0 .. order.size() - 1, whatever it
  // held: Fisher-Yates "inside out", for p = 0 .. n - 1 a draw r below p + 1 (none for p = 0),
  // then order[p] = order[r] and order[r] = p. The same bounded draws as shuffle, so the same
  // cost, but the result depends on the draws alone, not on the order's previous contents.
  // Same requirement on the size as shuffle.
  void drawOrder(std::span<std::int32_t> order, RandomSource& source) const;

  // For a bound in 2 .. 2^31 - 1, the draws below this limit are those uniformBelow keeps:
  // all of them (2^31) when 2^31 is a multiple of the bound, else (mask / bound) * bound.
  static constexpr std::uint32_t acceptanceLimit(std::uint32_t bound) {
    return kChunkMask % bound == bound - 1 ? kChunkMask + 1 : (kChunkMask / bound) * bound;
  }

 private:
  struct Bound {
    std::uint64_t reciprocal;  // floor((2^64 - 1) / bound) + 1: value mod bound by multiplication
    std::uint32_t threshold;   // draws below it are accepted; 2^31 when every draw is
  };
  std::int32_t length_;
  std::vector<Bound> bounds_;  // indexed by bound
};

}  // namespace monocount
