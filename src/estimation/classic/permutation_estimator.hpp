#pragma once

#include <cstdint>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/randomness/random_source.hpp"
#include "estimation/replication.hpp"
#include "problem/cover_index.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The classic permutation estimator. Each sample shuffles the variable order in place (the
// order is never reset between samples), finds its cover length L and scores it with
// T[L] = C(n, L) + ... + C(n, n); a replication returns the mean score and the relative
// standard error of that mean.
//
// For a given seed the estimates and errors are those of the plain algorithm to the last
// bit wherever its double arithmetic stays finite. Where it would overflow (from 1021
// variables on), the same statistics are carried in extended range instead of becoming
// +inf or NaN. A formula without clauses gives exactly 2^n, one with an empty clause exactly 0,
// both with relative error 0.
class PermutationEstimator {
 public:
  // Builds the tail tables and the sampling index once per run, and seeds the generator with
  // `seed`: every replication continues its one sequence. Keeps a reference to `problem`, which
  // must outlive the estimator.
  PermutationEstimator(const Problem& problem, std::uint32_t seed);

  // About what the estimator takes for `problem` with replications of `sampleSize` samples:
  // its tables (some 70 bytes per variable), and one cover length per sample (1, 2 or 4
  // bytes). Nothing for a formula without clauses or with an empty clause, for which no table
  // is built.
  static MemoryNeed memoryNeeded(const Problem& problem, std::int32_t sampleSize);

  // One replication of `sampleSize` samples: the mean score, its relative standard error and
  // the samples per cover length. For sampleSize <= 0 the first two are NaN, the counts empty
  // and nothing is drawn.
  Replication estimateModelCount(std::int32_t sampleSize);

  // Called now and then during a replication with the number of samples drawn so far.
  ProgressCallback onProgress;

 private:
  template <typename Length>
  WideReal sampleAndScore(std::size_t sampleCount, double& relativeError, std::vector<Length>& lengths,
                          std::int32_t& shortest);
  template <typename Length>
  WideReal scoreWide(const std::vector<Length>& lengths, double& relativeError, const double* classicMean);

  const Problem& problem_;
  RandomSource source_;
  CoverIndex index_;
  OrderShuffler shuffler_;
  std::vector<double> tails_;          // the classic table, bit for bit; +inf where it overflows
  std::int32_t lastInfiniteTail_ = -1; // tails_[k] is +inf exactly for k <= this
  std::vector<WideReal> wideTails_;    // built on first need
  std::vector<double> squares_;        // (T[L] - mean)^2 per cover length, for one replication
  std::vector<std::uint64_t> counts_;  // samples per cover length 0 .. n, of one replication
  std::vector<std::int32_t> order_;
  bool noClauses_;
  bool unsatisfiable_;
  // Cover lengths of one replication in the narrowest type that holds n.
  std::vector<std::uint8_t> lengths8_;
  std::vector<std::uint16_t> lengths16_;
  std::vector<std::uint32_t> lengths32_;
};

}  // namespace monocount
