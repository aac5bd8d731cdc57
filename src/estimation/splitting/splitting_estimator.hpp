#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "estimation/numerics/running_statistics.hpp"
#include "estimation/numerics/wide_real.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/parallel/block_sums.hpp"
#include "estimation/parallel/rank_group.hpp"
#include "estimation/replication.hpp"
#include "estimation/splitting/size_descent.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// What split's roots estimate besides the count. The default is the count alone.
struct SplitTargets {
  // Also, for every root, a root through the failing sets (SizeDescent on DescentSide::failing, up
  // from the minimal clauses), on streams of its own (StreamUse::failing), so that the satisfying
  // roots draw the same numbers either way: with recordSizes Replication::failingSizeEstimates,
  // and the complement (Replication::complement, or under a law LawAnswer::fails).
  bool failing = false;
  // A law with a chance per variable (none 0 or 1): the roots then estimate the chance that the
  // formula holds (and, with `failing`, that it fails) under it instead of the counts, answered
  // as Replication::laws (one entry). A uniform law leaves the counts, which serve every chance
  // at once.
  VariableProbabilities law = VariableProbabilities::uniform(0.5);
  // The chances p asked for (--probability, or a weighted file's one chance), whose terms the
  // roots watch before they stop walking (DescentTarget::watched), on each side.
  std::vector<double> probabilities;
  // Under a uniform law with `failing`: whether the failing roots must also serve the count's
  // complement (2^n minus the count) as a quantity of its own (Replication::complement). Off,
  // they walk only as far as the chances need, and the complement is left to 2^n minus the
  // count (it is rare only where the count is near 2^n).
  bool complementOfCount = false;
  // The failing roots' particles and walk steps; absent, those of the satisfying roots. (Their
  // ascent from the minimal clauses walks few sizes where the failure is rare, and 32 x 16
  // serves it at any size; the satisfying roots' longer walks of large formulas cost it ten
  // times as much for nothing.)
  std::optional<DescentSettings> failingSettings{};
};

// The splitting estimator: each root is one size descent (SizeDescent), an unbiased estimate
// of the count from a few particles that go down from the whole set to the minimal satisfying
// sets; a replication is the mean of N independent roots, and its relative error is computed
// from their spread exactly as the classic estimator computes it from its samples (population
// standard deviation over sqrt(N) times the mean). No pilot: a root needs nothing tuned to the
// formula before it starts, so the first root's progress shows at once.
//
// The roots of replication r (counted from 0, one per call) are cut into blocks of
// rootsPerBlock() roots, block b holding roots b * size .. (b + 1) * size - 1 and drawing from
// its own generator, derivedEngine({seed, samples, r, b}) (std::mt19937_64). A block's roots
// therefore depend on (seed, r, b) alone, whichever worker thread or rank runs it. Each block
// yields its number of roots, the sum of their estimates, their largest, and their squared
// deviations around the block's mean (RunningStatistics, in root order); the blocks are merged
// in block order, and the per-size sums added along a tree fixed by the block count
// (BlockSums), so a seed fixes every digit for any number of threads or ranks.
//
// Needs a formula with at least one clause and no empty clause (the Estimator decides the
// others without sampling); the constructor throws std::invalid_argument otherwise.
class SplittingEstimator {
 public:
  // Keeps a reference to `problem`, which must outlive the estimator. The roots run on
  // `parallelism.threads` workers in each of the ranks (this process alone when
  // parallelism.ranks is null); the ranks must call estimateModelCount together.
  SplittingEstimator(const Problem& problem, std::uint32_t seed, const DescentSettings& settings = {},
                     const Parallelism& parallelism = {});

  // About what the estimator takes for `problem` on `threads` workers: the occurrence table and
  // each worker's particles (one cover state each) and size sums; nothing grows with the
  // sample size.
  // With targets.failing, the failing roots' states and the minimal clauses; under a law with a
  // chance per variable, what its odds add.
  static MemoryNeed memoryNeeded(const Problem& problem, const DescentSettings& settings = {}, std::int32_t threads = 1,
                                 const SplitTargets& targets = {});

  // One replication of `sampleSize` >= 1 independent roots: the mean of their estimates and the
  // relative standard error of that mean. With recordSizes on, also the estimate of N(k) for
  // every k (Replication::sizeEstimates). The first replication whose estimate rests on a
  // handful of roots carries a warning saying so. When parallelism.stop is due, no block starts
  // any more: the replication is then of the roots of the blocks run (cut short by the time
  // limit), or marked interrupted.
  Replication estimateModelCount(std::int32_t sampleSize);

  // Whether replications also estimate N(k) for every size k (the roots' own N^(k), averaged).
  // Off by default; the roots draw the same numbers either way.
  void recordSizes(bool on) { recordSizes_ = on; }

  // What the roots estimate besides the count; set before the first replication. Throws
  // std::invalid_argument for a per-variable law with a chance of 0 or 1 (see oddsOf).
  void target(SplitTargets targets);

  // Called now and then during a replication with the number of roots finished so far, the
  // share of a root still running included (on the calling thread; across ranks, rank 0's share
  // of the work scaled to the whole).
  ProgressCallback onProgress;

  const DescentSettings& settings() const { return settings_; }
  // The smallest satisfying set any root of the run has reached so far; n before the first.
  std::int32_t smallestSize() const { return smallest_; }
  // With the failing side: the largest number of true variables of a failing assignment any root
  // has reached so far (n minus the smallest clause reached); 0 before the first.
  std::int32_t largestFailingSize() const { return problem_.variableCount - smallestFailing_; }

  // Roots per block for n variables: ceil(2^16 / (n * particles)), at least 1: a block's work
  // dwarfs seeding its generator.
  static std::int64_t rootsPerBlock(const DescentSettings& settings, std::int32_t variableCount);

  // When a replication of `roots` roots with these statistics rests on too few of them to trust
  // its RE: the sentence to say so, or nothing. `effective` is (sum of the roots)^2 / (sum of
  // their squares), `largestShare` the largest root over their sum.
  // `what` names the quantity ("estimate", "complement").
  static std::optional<std::string> fewRootsWarning(std::int64_t roots, double effective, double largestShare,
                                                    const char* what = "estimate");

  // Odds of one variable over another's beyond which the failing side's ascent is not to be
  // trusted: it adds variables by their odds but takes the step back uniformly, so a failing set
  // reached mostly from a minimal clause that is rarely drawn (its variables' odds tiny beside
  // the others') carries a weight that few roots ever meet, and the roots' spread cannot show it.
  static constexpr double kUnevenOdds = 1e4;
  // Under a per-variable `law`: the sentence saying that its odds are too uneven for the failing
  // side (largest over smallest odds beyond kUnevenOdds), or nothing.
  static std::optional<std::string> unevenLawWarning(const VariableProbabilities& law, std::int32_t variableCount);

 private:
  // What one worker changes while it runs roots.
  struct Worker {
    SizeDescent descent;
    std::vector<WideReal> sizes;  // with recordSizes_: the current block's sums of N^(k)
    std::optional<SizeDescent> failing;  // with targets_.failing
    std::vector<WideReal> failingSizes;  // and recordSizes_: the block's sums of F^(k)
  };
  // The roots of one side: the statistics of their estimates (Welford, in root order), their
  // sum and largest.
  struct SideRoots {
    RunningStatistics roots;
    WideReal sum;
    WideReal largest;
    void add(const WideReal& estimate);
  };
  // A block's roots on each side, and the smallest set of each side they reached. Plain data,
  // exchanged between ranks as bytes.
  struct RootBlock {
    SideRoots satisfying;
    SideRoots failing;
    std::int32_t smallest = 0;
    std::int32_t smallestFailing = 0;
  };
  // One side's estimate and relative error.
  struct SideAnswer {
    WideReal estimate;
    double relativeError = 0.0;
  };
  // How a replication's roots are cut into blocks, and this rank's share of them.
  struct Blocks {
    std::int64_t rootsPerBlock = 1;
    std::int64_t count = 0;
    Share share;
  };
  class RootProgress;

  Worker& worker(std::int32_t index);
  // The roots of `block` (those below `sampleSize`), on the block's own stream.
  RootBlock runBlock(Worker& worker, std::uint32_t replication, std::int64_t block, const Blocks& blocks,
                     std::int32_t sampleSize, RootProgress* progress) const;
  // The replication of `sampleSize` roots from its blocks, merged in block order, and its
  // per-size sums.
  // With the failing side, its per-size sums too (null without recordSizes).
  Replication summarize(const std::vector<RootBlock>& blocks, const BlockSums* sizes, const BlockSums* failingSizes,
                        std::int64_t sampleSize);
  // One side's estimate and relative error from its roots' statistics, times `base` under a
  // per-variable law; the few-roots warning into `warnings`, once a run.
  SideAnswer side(const SideRoots& total, const WideReal& count, const WideReal& base, const char* what,
                  std::vector<std::string>& warnings);
  DescentTarget descentTarget(DescentSide side) const;
  // The failing roots' settings (SplitTargets::failingSettings, or the satisfying roots').
  DescentSettings failingSettings() const;

  const Problem& problem_;
  DescentSettings settings_;
  std::uint32_t seed_;
  std::int32_t threads_;
  SingleProcess alone_;
  RankGroup* ranks_;
  StopRequest* stop_;
  std::uint32_t replication_ = 0;
  std::int32_t smallest_;
  bool warned_ = false;
  std::optional<std::string> unevenLaw_;  // said with the first replication that answers the failing side
  std::unique_ptr<OccurrenceTable> table_;
  std::shared_ptr<const MinimalClauses> minimal_;  // with the failing side
  bool recordSizes_ = false;
  SplitTargets targets_;
  WideReal base_ = 1.0;         // under a per-variable law: what turns a satisfying root into a chance
  WideReal failingBase_ = 1.0;  // and a failing root
  std::int32_t smallestFailing_;
  WorkerStates<Worker> workers_;
};

}  // namespace monocount
