#include "estimation/randomness/derived_streams.hpp"

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
  return SplitEngine(sequence);
}

}  // namespace monocount
