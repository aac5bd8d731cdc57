#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "estimation/splitting/cover_chain.hpp"
#include "estimation/splitting/splitting_plan.hpp"
#include "estimation/numerics/wide_real.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/parallel/rank_group.hpp"
#include "estimation/replication.hpp"
#include "problem/problem.hpp"

namespace monocount {

// Generalized splitting on the cover length L of a uniformly random order: unbiased scores
// whose variance stays small where the satisfying fraction is tiny.
//
// The count is sum_k C(n, k) P(L <= k), and L <= k depends only on the set of the first k
// variables. Levels n = l_0 > l_1 > ... > l_T and factors s_0 .. s_(T-1) split the k axis into
// bands (l_(t+1), l_t] (the last one is [1, l_T]). One score per root:
//   - Stage 0 draws about s_0 uniform orders (floor(s_0) or floor(s_0) + 1, so s_0 on average);
//     stage t >= 1 runs about s_t chain steps from its member, each step leaving the uniform
//     distribution on {L <= l_t} invariant (CoverChain: exchange proposals, then a random
//     reordering of the prefix). Every such state contributes, with weight
//     1 / (s_0 ... s_t), the C(n, k) of its own band with k >= its L.
//   - A state with L <= l_(t+1) also becomes a member at stage t + 1, which starts its own
//     chain from a copy of it. A member at the last stage contributes, with weight
//     1 / (s_0 ... s_(T-1)), every C(n, k) with L <= k <= l_T.
// By invariance, the states of stage t are in expectation s_0 ... s_t times the uniform
// distribution on {L <= l_t}, so every band is estimated without bias whatever the levels.
// With no level below n a root is one uniform order scoring T[L], the classic score.
//
// The levels and factors come from a pilot run (planLevels) on the first call, from streams of
// its own, and stay fixed for every later replication, which therefore are independent given
// them; the pilot's cost falls on the first replication.
//
// The roots of replication r (counted from 0, one per call) are cut into blocks of
// rootsPerBlock() roots, block b holding roots b * size .. (b + 1) * size - 1 and drawing from
// its own generator, derivedEngine({seed, samples, r, b}) (std::mt19937_64). A block's scores
// therefore depend on (seed, r, b) alone, whichever worker thread or rank runs it. Each block
// yields its number of roots, the sum of their scores and their squared deviations around the
// block's mean (Welford, in root order); the blocks are combined in block order (the sums
// added, the squared deviations merged by Chan's update), so a seed fixes every digit for
// any number of threads or ranks.
//
// Costs per root about sum_t s_t chain steps (each: a few exchange proposals, then
// prefixLength - L + 1 draws) when the factors match the chances; memory: one order and one set
// of clause counts per level and per worker. Nothing is allocated per root.
//
// A formula without clauses gives exactly 2^n, one with an empty clause exactly 0, both with
// relative error 0 and no pilot.
class SplittingEstimator {
 public:
  // Keeps a reference to `problem`, which must outlive the estimator. The roots and the pilot
  // run on `parallelism.threads` workers in each of the ranks (this process alone when
  // parallelism.ranks is null); the ranks must call estimateModelCount together.
  SplittingEstimator(const Problem& problem, std::uint32_t seed, SplittingSettings settings = {},
                     const Parallelism& parallelism = {});

  // About what the estimator takes for `problem` on `threads` workers: the occurrence table, the
  // binomials, the pilot's walkers and the workers' chains (one order and one set of clause
  // counts each; at least two per worker, more for every level the pilot places); nothing grows
  // with the sample size, and nothing is built for a formula without clauses or with an empty
  // clause.
  static MemoryNeed memoryNeeded(const Problem& problem, const SplittingSettings& settings = {},
                                 std::int32_t threads = 1);

  // One replication of `sampleSize` independent root samples: the mean score and the relative
  // standard error of that mean (population standard deviation over sqrt(N) * mean, as the
  // classic estimator computes it). NaN for both when sampleSize <= 0. With recordSizes on,
  // also the estimate of N(k) for every k (Replication::sizeEstimates); on a formula whose
  // count needs no sampling, the cover lengths instead (all 0 without clauses, none with an
  // empty clause).
  Replication estimateModelCount(std::int32_t sampleSize);

  // Whether replications also estimate N(k) for every size k: the contributions of each root
  // are then also counted per band entry over the replication (once per root and entry, not
  // per chain step), and expanded to sizes at its end. Off by default.
  void recordSizes(bool on) { recordSizes_ = on; }

  // Called now and then during a replication with the number of roots finished so far.
  // Called now and then during a replication with the number of roots finished so far (on the
  // calling thread; across ranks, rank 0's share of the work scaled to the whole).
  ProgressCallback onProgress;

  // Fixes the levels instead of running the pilot; the plan must have levels[0] = n, strictly
  // decreasing levels >= 1 and one factor >= 1 per level but the last. Throws
  // std::invalid_argument otherwise.
  void usePlan(SplittingPlan plan);
  // The plan in force (running the pilot first if there is none yet and the formula needs one).
  const SplittingPlan& plan();
  // The plan in force, without running the pilot: none before the first replication or usePlan,
  // nor on a formula whose count needs no sampling.
  const std::optional<SplittingPlan>& currentPlan() const { return plan_; }
  // One root's score under the current plan, and the order of the root's last stage-0 draw.
  // Roots per block under `plan` for n variables: ceil(2^16 / (n * sum_t s_t)), at least 1,
  // with s_T = 1 for the last level: about 2^16 variable draws per block when the factors
  // match the chances, whose work dwarfs seeding the block's generator.
  static std::int64_t rootsPerBlock(const SplittingPlan& plan, std::int32_t variableCount);

  // One root's score under the current plan, drawn from a generator of the estimator's own
  // (std::mt19937_64 seeded with the seed) on worker 0's state, and the order of the root's
  // last stage-0 draw. For tests: replications never use this generator.
  WideReal scoreRoot();
  const std::vector<std::int32_t>& rootOrder();
  // Members that entered each stage since the plan was set (the roots for stage 0), over all
  // workers of this process: with factors that match the chances of going down, about the
  // number of roots at every stage.
  std::vector<std::int64_t> memberCounts();

 private:
  struct Stage {
    std::int32_t level = 0;
    std::int64_t proposals = 0;      // exchange proposals per chain step
    std::int32_t wholeSteps = 0;     // floor(s_t)
    double extraStep = 0.0;          // s_t - floor(s_t): chance of one more step
    std::size_t bandOffset = 0;      // this stage's weighted band sums in bands_
    std::int32_t bandLow = 1;        // lowest k of the band
    WideReal weight = 1.0;           // of each contribution: 1 / (s_0 ... s_t); at the last stage 1 / (s_0 ... s_(T-1))
  };
  // What one worker changes while it scores roots; the stages and bands are shared, read only.
  struct Worker {
    std::vector<CoverChain> chains;      // one per stage but the last: the state of its member
    std::vector<std::int32_t> stepsLeft;  // per stage: chain steps the current member still runs
    std::vector<std::int64_t> hits;      // contributions of the current root per entry of bands_
    std::vector<std::size_t> touched;    // entries with hits, in the order first hit
    std::vector<std::int64_t> memberCounts;
    std::vector<std::uint64_t> replicationHits;  // with recordSizes_: hits per entry of bands_ over a replication
  };
  // A block's roots: their number, the sum of their scores, and their mean and squared
  // deviations around it. Plain data, exchanged between ranks as bytes.
  struct RootBlock {
    std::int64_t roots = 0;
    WideReal sum;
    WideReal mean;
    WideReal squares;
  };

  void prepare(SplittingPlan plan);
  // N(k) for k = 0 .. n from replicationHits_ over `roots` roots.
  std::vector<WideReal> sizeEstimates(std::int32_t roots) const;
  void ensurePlan();
  Worker makeWorker() const;
  Worker& worker(std::int32_t index) { return workers_.get(index, [this] { return makeWorker(); }); }
  std::int32_t drawSteps(const Stage& stage, SplitEngine& engine) const;
  WideReal scoreRoot(Worker& worker, SplitEngine& engine) const;
  // Counts one contribution of a state with cover length `length` at `stage`.
  static void contribute(Worker& worker, const Stage& stage, std::int32_t length) {
    const std::size_t slot = stage.bandOffset + static_cast<std::size_t>(std::max(length, stage.bandLow) - stage.bandLow);
    if (worker.hits[slot]++ == 0) worker.touched.push_back(slot);
  }

  const Problem& problem_;
  SplittingSettings settings_;
  std::uint32_t seed_;
  SplitEngine engine_;  // scoreRoot() only
  bool degenerate_;  // no clauses or an empty clause: the count is known exactly
  std::int32_t threads_;
  SingleProcess alone_;
  RankGroup* ranks_;
  std::uint32_t replication_ = 0;
  std::unique_ptr<OccurrenceTable> table_;
  std::vector<WideReal> binomials_;
  std::optional<SplittingPlan> plan_;
  std::int64_t rootsPerBlock_ = 1;
  std::unique_ptr<CoverChain> start_;  // the order 0 .. n - 1, whole: where every block starts
  std::vector<Stage> stages_;
  // Per stage, for L = low .. level: weight * sum_{k = max(L, low) .. level} C(n, k), where the
  // weight is 1 / (s_0 ... s_t) (1 / (s_0 ... s_(T-1)) at the last stage T).
  std::vector<WideReal> bands_;
  bool recordSizes_ = false;
  std::vector<std::uint64_t> replicationHits_;  // with recordSizes_: the workers' replicationHits, added up
  WorkerStates<Worker> workers_;
};

}  // namespace monocount
