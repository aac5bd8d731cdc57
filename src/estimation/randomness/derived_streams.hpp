#pragma once

#include <cstdint>

#include "estimation/randomness/random_source.hpp"
#include "estimation/randomness/split_engine.hpp"

namespace monocount {

// What a derived stream serves. Part of its key, so that no two uses ever share a stream.
enum class StreamUse : std::uint32_t {
  samples = 1,  // a block of samples (crude) or roots (split) of a replication
  failing = 2,  // split: the block's roots down the failing sets (the complement)
};

// The name of one derived stream: the run's seed, the use, the replication (counted from 0 in
// the order the estimator runs them) and the block within it.
struct StreamKey {
  std::uint32_t seed = 0;
  StreamUse use = StreamUse::samples;
  std::uint32_t replication = 0;
  std::uint64_t block = 0;
};

// Independent random streams, one per piece of work, so that a piece draws the same numbers
// whichever thread or process runs it. Both generators are seeded through
//   std::seed_seq{seed, use, replication, block mod 2^32, block div 2^32}
// and these derivations are part of the results: changing one changes every digit printed
// from block streams.

// The classic estimator's generator on that stream (see RandomSource(std::seed_seq&)).
RandomSource derivedSource(const StreamKey& key);

// The splitting estimator's generator on that stream: std::mt19937_64 seeded with the 64-bit
// value whose low and high words are the sequence's first two words. (Constructing the engine
// from the sequence itself costs 624 words of it, about 5 microseconds more, as much as a
// whole root of a small formula.)
SplitEngine derivedEngine(const StreamKey& key);

}  // namespace monocount
