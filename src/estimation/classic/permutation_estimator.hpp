#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/parallel/rank_group.hpp"
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
//
// With block streams instead, the samples of replication r (counted from 0, one per call) are
// cut into blocks of samplesPerBlock(n) samples, block b holding samples b * size .. (b + 1) *
// size - 1. Block b draws from its own generator, derivedSource({seed, samples, r, b}), and
// each of its samples is a fresh uniform order (OrderShuffler::drawOrder), so a block's cover
// lengths depend on (seed, r, b) alone. The blocks run on the worker threads and ranks in any
// order; the replication's statistics come from the number of samples at each cover length,
// which blocks add up exactly, taken in length order in extended range. So every digit is the
// same for any number of threads or ranks (but not the same as the classic sequence's).
class PermutationEstimator {
 public:
  // Builds the tail tables and the sampling index once per run, and seeds the generator with
  // `seed`: every replication continues its one sequence. Keeps a reference to `problem`, which
  // must outlive the estimator.
  PermutationEstimator(const Problem& problem, std::uint32_t seed);

  // About what the estimator takes for `problem` with replications of `sampleSize` samples:
  // its tables (some 70 bytes per variable), and one cover length per sample (1, 2 or 4
  // bytes). On block streams with `blockWorkers` workers (0: the classic sequence), no cover
  // length is kept, but every worker that gets a block has its own sampling index, order and
  // counts. Nothing for a formula without clauses or with an empty
  // clause, for which no table is built.
  static MemoryNeed memoryNeeded(const Problem& problem, std::int32_t sampleSize, std::int32_t blockWorkers = 0);

  // The estimator on block streams, run by `parallelism.threads` workers in each of the ranks
  // (this process alone when parallelism.ranks is null). Each worker builds its own sampling
  // index and order on first use; the ranks must call estimateModelCount together.
  PermutationEstimator(const Problem& problem, std::uint32_t seed, const Parallelism& parallelism);

  // One replication of `sampleSize` samples: the mean score, its relative standard error and
  // the samples per cover length. For sampleSize <= 0 the first two are NaN, the counts empty
  // and nothing is drawn.
  Replication estimateModelCount(std::int32_t sampleSize);

  // Called now and then during a replication with the number of samples drawn so far (on the
  // calling thread; across ranks, rank 0's share of the work scaled to the whole).
  ProgressCallback onProgress;

  // Samples per block of the block streams for n variables: ceil(65536 / n), so that a block
  // is about 2^16 variable draws, whose work dwarfs seeding its generator. At least 1.
  static std::int64_t samplesPerBlock(std::int32_t variableCount);

 private:
  // A worker's own state for the block streams: its sampling index, its order, and the samples
  // per cover length of the blocks it ran in this replication.
  struct Worker {
    std::optional<CoverIndex> index;
    std::vector<std::int32_t> order;
    std::vector<std::uint64_t> counts;
  };
  PermutationEstimator(const Problem& problem, std::uint32_t seed, const Parallelism* parallelism);
  Worker makeWorker() const;
  void runBlock(Worker& worker, std::uint32_t replication, std::int64_t block, std::size_t sampleCount);
  Replication estimateFromBlocks(std::size_t sampleCount);
  WideReal countStatistics(std::size_t sampleCount, double& relativeError, const double* classicMean);
  CoverLengthCounts coverLengths(std::size_t sampleCount, std::int32_t shortest) const;

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
  // Block streams (blockStreams_ set): the seed, the replications run so far, and the workers.
  bool blockStreams_ = false;
  std::uint32_t seed_ = 0;
  std::uint32_t replication_ = 0;
  std::int32_t threads_ = 1;
  SingleProcess alone_;
  RankGroup* ranks_ = &alone_;
  WorkerStates<Worker> workers_{1};
};

}  // namespace monocount
