#pragma once

#include <array>
#include <cstdint>
#include <span>
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

  // The next value of the sequence, in 0 .. 2^31 - 1, as rand() would return it.
  std::uint32_t next() {
    std::uint32_t value = state_[front_] += state_[rear_];
    if (++front_ == kDegree) front_ = 0;
    if (++rear_ == kDegree) rear_ = 0;
    return value >> 1;
  }

 private:
  static constexpr int kDegree = 31;
  std::array<std::uint32_t, kDegree> state_{};
  int front_ = 0;
  int rear_ = 0;
};

// Width and mask of one chunk of random bits, worked out from the generator's maximum
// (RAND_MAX): the widest w with 2^w - 1 <= RAND_MAX. Here w = 31.
inline constexpr std::uint32_t kChunkBits = 31;
inline constexpr std::uint32_t kChunkMask = 0x7FFFFFFFu;

// A value uniform on 0 .. bound - 1 (bound >= 2), built from whole chunks of the source and
// rejection of the incomplete last block.
std::uint32_t uniformBelow(std::uint32_t bound, RandomSource& source);

// Fisher-Yates, running forward from the second element: for p = 1 .. n - 1, exchange
// positions p and uniformBelow(p + 1). Fewer than two elements draw nothing.
void shuffleOrder(std::span<std::int32_t> order, RandomSource& source);

// The same shuffle with the divisions taken out: per bound, the acceptance threshold and a
// reciprocal for the remainder are precomputed once, so a draw costs one generator step, one
// comparison and two multiplications. Draws and results are identical to shuffleOrder's.
class OrderShuffler {
 public:
  // Prepares every bound from 2 to `length`.
  explicit OrderShuffler(std::int32_t length);

  void shuffle(std::span<std::int32_t> order, RandomSource& source) const;

 private:
  struct Bound {
    std::uint64_t reciprocal;  // floor((2^64 - 1) / bound) + 1: value mod bound by multiplication
    std::uint32_t threshold;   // draws below it are accepted; 2^31 when every draw is
  };
  std::int32_t length_;
  std::vector<Bound> bounds_;  // indexed by bound
};

}  // namespace monocount
