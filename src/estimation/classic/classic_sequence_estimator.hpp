#pragma once

#include <cstdint>
#include <vector>

#include "estimation/classic/cover_length_scorer.hpp"
#include "estimation/parallel/stop_request.hpp"
#include "estimation/randomness/random_source.hpp"
#include "estimation/replication.hpp"
#include "problem/cover_index.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The classic permutation estimator on its one random sequence: the compatibility path, which
// prints the classic tool's digits. Each sample shuffles the variable order in place (the order
// is never reset between samples, and every replication continues the same generator
// sequence), finds its cover length L and scores it with T[L] = C(n, L) + ... + C(n, n); a
// replication returns the mean score and the relative standard error of that mean.
//
// For a given seed the estimates and errors are those of the plain algorithm to the last bit
// wherever its double arithmetic stays finite; where it would overflow (from 1021 variables
// on), the same statistics are carried in extended range instead of becoming +inf or NaN
// (CoverLengthScorer). Single-threaded by nature: the sequence cannot be shared out.
//
// Needs a formula with at least one clause and no empty clause (the Estimator decides the
// others without sampling); the constructor throws std::invalid_argument otherwise.
class ClassicSequenceEstimator {
 public:
  // Builds the tail table and the sampling index once per run, and seeds the generator with
  // `seed`. Keeps a reference to `problem`, which must outlive the estimator. Every replication
  // also answers the `laws` (each of one chance for all variables: CoverLengthScorer::scoreLaw).
  // With `stop`, sampling ends early once it is due (looked at every 2^24 variable draws or so).
  ClassicSequenceEstimator(const Problem& problem, std::uint32_t seed, std::vector<VariableProbabilities> laws = {},
                           StopRequest* stop = nullptr);

  // About what the estimator takes for `problem` with replications of `sampleSize` samples:
  // its tables (some 90 bytes per variable at their peak) and one cover length per sample (1, 2
  // or 4 bytes).
  static MemoryNeed memoryNeeded(const Problem& problem, std::int32_t sampleSize);

  // One replication of `sampleSize` >= 1 samples: the mean score, its relative standard error,
  // the complement and the laws' answers, and the samples per cover length; of the samples
  // drawn when the stop came first (cut short by the time limit, or marked interrupted).
  Replication estimateModelCount(std::int32_t sampleSize);

  // Called now and then during a replication with the number of samples drawn so far.
  ProgressCallback onProgress;

 private:
  template <typename Length>
  Replication sampleAndScore(std::size_t sampleCount, std::vector<Length>& lengths);

  const Problem& problem_;
  std::vector<VariableProbabilities> laws_;
  StopRequest* stop_;
  RandomSource source_;
  CoverIndex index_;
  OrderShuffler shuffler_;
  CoverLengthScorer scorer_;
  std::vector<std::int32_t> order_;
  // Cover lengths of one replication in the narrowest type that holds n.
  std::vector<std::uint8_t> lengths8_;
  std::vector<std::uint16_t> lengths16_;
  std::vector<std::uint32_t> lengths32_;
};

}  // namespace monocount
