#include "estimation/splitting/splitting_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <type_traits>
#include <utility>

#include "estimation/parallel/block_sums.hpp"
#include "estimation/randomness/derived_streams.hpp"

namespace monocount {

SplittingEstimator::SplittingEstimator(const Problem& problem, std::uint32_t seed, const DescentSettings& settings,
                                       const Parallelism& parallelism)
    : problem_(problem),
      settings_(settings),
      seed_(seed),
      degenerate_(problem.clauseCount == 0 || !problem.everyClauseTouchable()),
      threads_(std::max(parallelism.threads, 1)),
      ranks_(parallelism.ranks != nullptr ? parallelism.ranks : &alone_),
      smallest_(problem.variableCount),
      smallestFailing_(problem.variableCount),
      workers_(threads_) {
  settings_.particles = std::max(settings_.particles, 1);
  settings_.walkSteps = std::max(settings_.walkSteps, 0);
}

MemoryNeed SplittingEstimator::memoryNeeded(const Problem& problem, const DescentSettings& settings, std::int32_t threads,
                                            bool failing, bool perVariable) {
  if (problem.clauseCount == 0 || !problem.everyClauseTouchable()) return {};
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const auto m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t table = 4 * n + 8 * m + 4 * problem.literals.size();
  const auto workers = static_cast<std::uint64_t>(std::max(threads, 1));
  const auto particles = static_cast<std::uint64_t>(std::max(settings.particles, 1));
  // A cover state; with the failing side also a clause containment (16 bytes per variable with
  // repeated variables in a clause, 12 without, and 12 per clause); under a law with a chance per
  // variable, each with its odds classes (8 bytes per variable).
  const std::uint64_t sides = failing ? 2 : 1;
  const std::uint64_t state = 20 * n + 4 * m + (failing ? 16 * n + 12 * m : 0) + (perVariable ? sides * (8 * n + 16) : 0);
  // Per worker besides: a block's size sums, and as many again waiting in the sum tree; per
  // descent under such a law, its odds (8 bytes per variable) and their classes' layout (16).
  const std::uint64_t sizes = 2 * sides * (n + 1) * sizeof(WideReal) + (perVariable ? sides * 24 * n : 0);
  // Shared: the minimal clauses (index and running weight per clause, a weight per size).
  const std::uint64_t minimal = failing ? 20 * m + (8 + sizeof(WideReal)) * (n + 2) : 0;
  return {.tables = table + minimal + workers * (particles * state + sizes), .samples = 0};
}

std::int64_t SplittingEstimator::rootsPerBlock(const DescentSettings& settings, std::int32_t variableCount) {
  const double work = std::max(1.0, static_cast<double>(variableCount) * std::max(settings.particles, 1));
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(65536.0 / work)));
}

std::optional<std::string> SplittingEstimator::fewRootsWarning(std::int64_t roots, double effective, double largestShare,
                                                               const char* what) {
  // A root carrying most of the sum, or far fewer effective roots than N: the spread of the
  // roots then says little about the error, and the estimate is likely low (the roots that
  // would carry it were not drawn).
  const bool dominated = roots >= 2 && largestShare > 0.5;
  const bool few = effective < 30.0 && effective < 0.1 * static_cast<double>(roots);
  if (!dominated && !few) return std::nullopt;
  std::ostringstream text;
  text << "the " << what << " rests on " << std::max<std::int64_t>(1, std::llround(effective)) << " of " << roots
       << " samples (one of them carries " << std::llround(100.0 * largestShare)
       << " % of the sum), so its RE cannot be trusted; increase --N";
  return text.str();
}

void SplittingEstimator::target(SplitTargets targets) {
  targets_ = std::move(targets);
  if (!targets_.law.isUniform() && !degenerate_) {
    oddsOf(targets_.law, DescentSide::satisfying, problem_.variableCount);  // throws for a certain variable
    base_ = baseOf(targets_.law, DescentSide::satisfying, problem_.variableCount);
    failingBase_ = baseOf(targets_.law, DescentSide::failing, problem_.variableCount);
  }
}

DescentTarget SplittingEstimator::descentTarget(DescentSide side) const {
  // The failing side goes up from the minimal clauses, which carry the failure where it is rare.
  const bool failing = side == DescentSide::failing;
  return {.side = side,
          .odds = oddsOf(targets_.law, side, problem_.variableCount),
          .watched = watchedOdds(targets_.probabilities, side),
          .watchOwn = !failing || !targets_.law.isUniform() || targets_.complementOfCount,
          .ascend = failing,
          .minimal = failing ? minimal_ : nullptr};
}

SplittingEstimator::Worker& SplittingEstimator::worker(std::int32_t index) {
  return workers_.get(index, [this] {
    Worker made{SizeDescent(problem_, *table_, settings_, descentTarget(DescentSide::satisfying)), {}, {}, {}};
    if (recordSizes_) made.sizes.assign(static_cast<std::size_t>(problem_.variableCount) + 1, WideReal());
    if (targets_.failing) made.failing.emplace(problem_, *table_, settings_, descentTarget(DescentSide::failing));
    return made;
  });
}

void SplittingEstimator::RootStats::add(const WideReal& estimate) {
  ++roots;
  sum += estimate;
  if (largest < estimate) largest = estimate;
  const WideReal deviation = estimate - mean;
  mean += deviation / WideReal(static_cast<double>(roots));
  squares += deviation * (estimate - mean);
}

void SplittingEstimator::RootStats::merge(const RootStats& other) {
  if (largest < other.largest) largest = other.largest;
  if (roots == 0) {
    roots = other.roots;
    sum = other.sum;
    mean = other.mean;
    squares = other.squares;
    return;
  }
  const WideReal before(static_cast<double>(roots));
  const WideReal added(static_cast<double>(other.roots));
  const WideReal combined = before + added;
  const WideReal delta = other.mean - mean;
  roots += other.roots;
  sum += other.sum;
  mean += delta * added / combined;
  squares += other.squares + delta * delta * before * added / combined;
}

Replication::Complement SplittingEstimator::summarize(const RootStats& total, std::int32_t sampleSize,
                                                      const WideReal& base, const char* what,
                                                      std::vector<std::string>& warnings) {
  // The classic statistics: population standard deviation, standard error relative to the mean.
  const WideReal count(static_cast<double>(sampleSize));
  const WideReal average = total.sum / count;
  Replication::Complement result{targets_.law.isUniform() ? average : average * base,
                                 (sqrt(total.squares / count) / (sqrt(count) * average)).toDouble()};
  // Effective roots (sum x)^2 / sum x^2 = N / (1 + variance / mean^2).
  const double spread = (total.squares / (count * average * average)).toDouble();
  const double effective = static_cast<double>(sampleSize) / (1.0 + spread);
  const double largestShare = (total.largest / total.sum).toDouble();
  if (!warned_) {
    if (auto warning = fewRootsWarning(sampleSize, effective, largestShare, what)) {
      warnings.push_back(*warning);
      warned_ = true;
    }
  }
  return result;
}

Replication SplittingEstimator::estimateModelCount(std::int32_t sampleSize) {
  const std::uint32_t replication = replication_++;
  if (sampleSize <= 0) {
    Replication none;
    none.estimate = none.relativeError = std::numeric_limits<double>::quiet_NaN();
    if (targets_.failing) none.complement = Replication::Complement{none.estimate, none.relativeError};
    return none;
  }
  const bool law = !targets_.law.isUniform();
  if (degenerate_) {
    // Without clauses every assignment satisfies the formula, with an empty clause none does.
    const bool all = problem_.clauseCount == 0;
    const WideReal every = law ? WideReal(1.0) : WideReal::powerOfTwo(problem_.variableCount);
    Replication exact;
    exact.estimate = all ? every : WideReal(0.0);
    exact.coverLengths.samples = static_cast<std::uint64_t>(sampleSize);
    if (all) exact.coverLengths.counts.assign(1, static_cast<std::uint64_t>(sampleSize));
    if (targets_.failing) exact.complement = Replication::Complement{all ? WideReal(0.0) : every, 0.0};
    return exact;
  }
  static_assert(std::is_trivially_copyable_v<RootBlock>);
  const std::int32_t n = problem_.variableCount;
  const bool failing = targets_.failing;
  const std::int64_t perBlock = rootsPerBlock(settings_, n);
  const std::int64_t blocks = (sampleSize + perBlock - 1) / perBlock;
  const Share share = shareOf(blocks, ranks_->rank(), ranks_->size());
  const std::size_t width = recordSizes_ ? static_cast<std::size_t>(n) + 1 : 0;
  BlockSums sizes(blocks, width);
  BlockSums failingSizes(blocks, failing ? width : 0);
  std::vector<RootBlock> results;
  runTogether(*ranks_, [&] {
    if (!table_) table_ = std::make_unique<OccurrenceTable>(problem_);
    if (failing && !minimal_) {
      minimal_ = std::make_shared<const MinimalClauses>(
          problem_, *table_, oddsOf(targets_.law, DescentSide::failing, problem_.variableCount));
    }
    results.resize(static_cast<std::size_t>(blocks));
    BlockProgress progress(onProgress, share.end - share.first, sampleSize);
    // Worker 0's place in its block, so that the line moves during roots that take long; with
    // the failing side, each side is half a root.
    double rootsDone = 0.0;
    double rootsInBlock = 1.0;
    const double half = failing ? 0.5 : 1.0;
    const SizeDescent::StepProgress within = [&](double part) {
      progress.within((rootsDone + half * part) / rootsInBlock);
    };
    const SizeDescent::StepProgress withinFailing = [&](double part) {
      progress.within((rootsDone + half + half * part) / rootsInBlock);
    };
    runBlocks(
        share.first, share.end, threads_,
        [&](std::int32_t w, std::int64_t block) {
          Worker& state = worker(w);
          if (state.sizes.size() != width) state.sizes.assign(width, WideReal());
          if (failing && state.failingSizes.size() != width) state.failingSizes.assign(width, WideReal());
          const auto key = [&](StreamUse use) {
            return StreamKey{.seed = seed_, .use = use, .replication = replication, .block = static_cast<std::uint64_t>(block)};
          };
          SplitEngine engine = derivedEngine(key(StreamUse::samples));
          std::optional<SplitEngine> failingEngine;
          if (failing) failingEngine.emplace(derivedEngine(key(StreamUse::failing)));
          RootBlock result;  // stored once it is complete: neighbouring blocks share cache lines
          result.smallest = n;
          result.smallestFailing = n;
          const std::int64_t end = std::min<std::int64_t>(sampleSize, (block + 1) * perBlock);
          const bool report = w == 0 && onProgress;
          if (report) rootsInBlock = static_cast<double>(end - block * perBlock);
          for (std::int64_t root = block * perBlock; root < end; ++root) {
            if (report) rootsDone = static_cast<double>(root - block * perBlock);
            result.satisfying.add(state.descent.run(engine, state.sizes, report ? &within : nullptr));
            result.smallest = std::min(result.smallest, state.descent.smallestSize());
            if (!failing) continue;
            result.failing.add(state.failing->run(*failingEngine, state.failingSizes, report ? &withinFailing : nullptr));
            result.smallestFailing = std::min(result.smallestFailing, state.failing->smallestSize());
          }
          results[static_cast<std::size_t>(block)] = result;
          if (width > 0) sizes.add(block, state.sizes);
          if (width > 0 && failing) failingSizes.add(block, state.failingSizes);
        },
        std::ref(progress));
    progress.finish();
  });
  ranks_->share(results.data(), sizeof(RootBlock), blocks);
  if (width > 0) runTogether(*ranks_, [&] { sizes.gather(*ranks_); });
  if (width > 0 && failing) runTogether(*ranks_, [&] { failingSizes.gather(*ranks_); });

  // The blocks in block order.
  RootBlock total;
  for (const RootBlock& block : results) {
    smallest_ = std::min(smallest_, block.smallest);
    smallestFailing_ = std::min(smallestFailing_, block.smallestFailing);
    total.satisfying.merge(block.satisfying);
    total.failing.merge(block.failing);
  }
  Replication result;
  const Replication::Complement holds = summarize(total.satisfying, sampleSize, base_, "estimate", result.warnings);
  result.estimate = holds.estimate;
  result.relativeError = holds.relativeError;
  if (failing) result.complement = summarize(total.failing, sampleSize, failingBase_, "complement", result.warnings);
  // Per size: the blocks' sums over the roots, times the base over N.
  const auto perSize = [&](const BlockSums& sums, const WideReal& base) {
    std::vector<WideReal> values = sums.total();
    const WideReal count(static_cast<double>(sampleSize));
    for (WideReal& size : values) {
      size /= count;
      if (law) size *= base;
    }
    return values;
  };
  if (width > 0) result.sizeEstimates = perSize(sizes, base_);
  if (width > 0 && failing) result.failingSizeEstimates = perSize(failingSizes, failingBase_);
  return result;
}

}  // namespace monocount
