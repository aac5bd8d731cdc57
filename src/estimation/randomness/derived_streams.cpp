#include "estimation/randomness/derived_streams.hpp"

#include <array>
#include <random>

namespace monocount {

namespace {

std::seed_seq sequenceOf(const StreamKey& key) {
  return std::seed_seq{key.seed, static_cast<std::uint32_t>(key.use), key.replication,
                       static_cast<std::uint32_t>(key.block), static_cast<std::uint32_t>(key.block >> 32)};
}

}  // namespace

RandomSource derivedSource(const StreamKey& key) {
  std::seed_seq sequence = sequenceOf(key);
  return RandomSource(sequence);
}

SplitEngine derivedEngine(const StreamKey& key) {
  std::seed_seq sequence = sequenceOf(key);
  std::array<std::uint32_t, 2> words{};
  sequence.generate(words.begin(), words.end());
  return SplitEngine((std::uint64_t{words[1]} << 32) | words[0]);
}

}  // namespace monocount
