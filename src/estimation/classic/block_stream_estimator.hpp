#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "estimation/classic/cover_length_scorer.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/parallel/rank_group.hpp"
#include "estimation/randomness/random_source.hpp"
#include "estimation/replication.hpp"
#include "problem/cover_index.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The classic permutation estimator on block streams, for threads and ranks: the samples of
// replication r (counted from 0, one per call) are cut into blocks of samplesPerBlock(n)
// samples, block b holding samples b * size .. (b + 1) * size - 1. Block b draws from its own
// generator, derivedSource({seed, samples, r, b}), and each of its samples is a fresh uniform
// order (OrderShuffler::drawOrder), so a block's cover lengths depend on (seed, r, b) alone.
// The blocks run on the worker threads and ranks in any order; the replication's statistics
// come from the number of samples at each cover length, which blocks add up exactly, scored in
// length order in extended range (CoverLengthScorer::scoreCounts). So every digit is the same
// for any number of threads or ranks (but not the same as the classic sequence's).
//
// Needs a formula with at least one clause and no empty clause (the Estimator decides the
// others without sampling); the constructor throws std::invalid_argument otherwise.
class BlockStreamEstimator {
 public:
  // Run by `parallelism.threads` workers in each of the ranks (this process alone when
  // parallelism.ranks is null). Each worker builds its own sampling index and order on first
  // use; the ranks must call estimateModelCount together. Keeps a reference to `problem`, which
  // must outlive the estimator.
  // Every replication also answers the `laws` (each of one chance for all variables).
  BlockStreamEstimator(const Problem& problem, std::uint32_t seed, const Parallelism& parallelism,
                       std::vector<VariableProbabilities> laws = {});

  // About what the estimator takes for `problem` with replications of `sampleSize` samples on
  // `workers` workers: the shared tables, and an index, order and counts for every worker that
  // gets a block. Nothing grows with the sample size.
  static MemoryNeed memoryNeeded(const Problem& problem, std::int32_t sampleSize, std::int32_t workers);

  // One replication of `sampleSize` >= 1 samples: the mean score, its relative standard error
  // and the samples per cover length. When parallelism.stop is due, no block starts any more:
  // the replication is then of the samples of the blocks run (cut short by the time limit), or
  // marked interrupted.
  Replication estimateModelCount(std::int32_t sampleSize);

  // Called now and then during a replication with the number of samples drawn so far (on the
  // calling thread; across ranks, rank 0's share of the work scaled to the whole).
  ProgressCallback onProgress;

  // Samples per block for n variables: ceil(65536 / n), so that a block is about 2^16 variable
  // draws, whose work dwarfs seeding its generator. At least 1.
  static std::int64_t samplesPerBlock(std::int32_t variableCount);

 private:
  // A worker's own state: its sampling index, its order, and the samples per cover length of
  // the blocks it ran in this replication.
  struct Worker {
    std::optional<CoverIndex> index;
    std::vector<std::int32_t> order;
    std::vector<std::uint64_t> counts;
  };
  Worker makeWorker() const;
  void runBlock(Worker& worker, std::uint32_t replication, std::int64_t block, std::size_t sampleCount) const;

  const Problem& problem_;
  std::vector<VariableProbabilities> laws_;
  std::uint32_t seed_;
  std::int32_t threads_;
  SingleProcess alone_;
  RankGroup* ranks_;
  StopRequest* stop_;
  OrderShuffler shuffler_;
  CoverLengthScorer scorer_;
  std::vector<std::uint64_t> counts_;  // samples per cover length 0 .. n, of one replication
  std::uint32_t replication_ = 0;
  WorkerStates<Worker> workers_;
};

}  // namespace monocount
