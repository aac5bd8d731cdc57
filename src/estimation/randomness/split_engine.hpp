#pragma once

#include <cstdint>
#include <random>

namespace monocount {

// The random source of the splitting estimator and of everything it drives: std::mt19937_64,
// each 64-bit output split into two 32-bit words for the bounded draws, which are most of them.
class SplitEngine {
 public:
  explicit SplitEngine(std::uint64_t seed) : engine_(seed) {}

  // A value uniform on 0 .. bound - 1 for 1 <= bound < 2^32: the high word of a 32-bit word
  // times the bound, with the words that fall into the incomplete block rejected, so exactly
  // uniform. Half an engine step per draw, rarely more.
  std::uint32_t below(std::uint32_t bound) {
    std::uint64_t product = std::uint64_t{word()} * bound;
    auto low = static_cast<std::uint32_t>(product);
    if (low < bound) {
      const std::uint32_t threshold = (0u - bound) % bound;
      while (low < threshold) {
        product = std::uint64_t{word()} * bound;
        low = static_cast<std::uint32_t>(product);
      }
    }
    return static_cast<std::uint32_t>(product >> 32);
  }

  // A value uniform on [0, 1), from the top 53 bits of one engine step.
  double unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

 private:
  std::uint32_t word() {
    if (spare_) {
      spare_ = false;
      return static_cast<std::uint32_t>(buffer_ >> 32);
    }
    buffer_ = engine_();
    spare_ = true;
    return static_cast<std::uint32_t>(buffer_);
  }

  std::mt19937_64 engine_;
  std::uint64_t buffer_ = 0;
  bool spare_ = false;
};

}  // namespace monocount
