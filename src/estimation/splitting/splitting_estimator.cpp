#include "estimation/splitting/splitting_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
#include <sstream>
#include <type_traits>
#include <utility>

#include "estimation/known_count.hpp"
#include "estimation/randomness/derived_streams.hpp"

namespace monocount {

namespace {

// At least one particle, and no negative walk.
DescentSettings clamped(DescentSettings settings) {
  settings.particles = std::max(settings.particles, 1);
  settings.walkSteps = std::max(settings.walkSteps, 0);
  return settings;
}

}  // namespace

SplittingEstimator::SplittingEstimator(const Problem& problem, std::uint32_t seed, const DescentSettings& settings,
                                       const Parallelism& parallelism)
    : problem_(needsSampling(problem)),
      settings_(clamped(settings)),
      seed_(seed),
      threads_(std::max(parallelism.threads, 1)),
      ranks_(parallelism.ranks != nullptr ? parallelism.ranks : &alone_),
      stop_(parallelism.stop),
      smallest_(problem.variableCount),
      smallestFailing_(problem.variableCount),
      workers_(threads_) {}

MemoryNeed SplittingEstimator::memoryNeeded(const Problem& problem, const DescentSettings& settings, std::int32_t threads,
                                            const SplitTargets& targets) {
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const auto m = static_cast<std::uint64_t>(problem.clauseCount);
  const bool failing = targets.failing;
  const bool perVariable = !targets.law.isUniform();
  const std::uint64_t table = 4 * n + 8 * m + 4 * problem.literals.size();
  const auto workers = static_cast<std::uint64_t>(std::max(threads, 1));
  const auto particles = static_cast<std::uint64_t>(std::max(settings.particles, 1));
  const auto failingParticles =
      failing ? static_cast<std::uint64_t>(std::max(targets.failingSettings.value_or(settings).particles, 1)) : 0;
  // Each particle: a cover state (12 bytes per variable and 8 per clause, half that where its
  // 16-bit slots hold the formula, surely so below 32,768 variables and clauses), or on the
  // failing side a clause containment (20 bytes per variable with repeated variables in a
  // clause, 16 without, and 20 per clause); under a law with a chance per variable, each with
  // its odds classes (8 bytes per variable).
  const std::uint64_t odds = perVariable ? 8 * n + 16 : 0;
  const std::uint64_t cover = n < 32768 && m < 32768 ? 6 * n + 4 * m : 12 * n + 8 * m;
  const std::uint64_t states = particles * (cover + odds) + failingParticles * (20 * n + 20 * m + odds);
  // Per worker besides: a block's size sums, and as many again waiting in the sum tree; per
  // descent under such a law, its odds (8 bytes per variable) and their classes' layout (16),
  // and on the satisfying side the tilted removal's two powers of the odds and a scratch copy
  // (24); the ascent's scratch (12 bytes per variable).
  const std::uint64_t sides = failing ? 2 : 1;
  const std::uint64_t sizes = 2 * sides * (n + 1) * sizeof(WideReal) + (perVariable ? (sides + 1) * 24 * n : 0) +
                              (failing ? 12 * n : 0);
  // Shared: the minimal clauses (index and running weight per clause, a weight per size).
  const std::uint64_t minimal = failing ? 20 * m + (8 + sizeof(WideReal)) * (n + 2) : 0;
  return {.tables = table + minimal + workers * (states + sizes), .samples = 0};
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

std::optional<std::string> SplittingEstimator::unevenLawWarning(const VariableProbabilities& law, std::int32_t variableCount) {
  if (law.isUniform() || variableCount < 2) return std::nullopt;
  double least = std::numeric_limits<double>::infinity();
  double most = 0.0;
  for (std::int32_t v = 0; v < variableCount; ++v) {
    const double odds = law.falsity(v) / law.truth(v);
    least = std::min(least, odds);
    most = std::max(most, odds);
  }
  if (!(most > kUnevenOdds * least)) return std::nullopt;
  std::ostringstream text;
  text << "split's complement may be too low and its RE too small: the chances of failing range over a factor of "
       << std::setprecision(2) << most / least
       << " in odds, and its roots take the failing sets that rest on the least likely clauses too rarely to see "
          "them; --method crude draws by the chances themselves";
  return text.str();
}

void SplittingEstimator::target(SplitTargets targets) {
  targets_ = std::move(targets);
  if (!targets_.law.isUniform()) {
    oddsOf(targets_.law, DescentSide::satisfying, problem_.variableCount);  // throws for a certain variable
    base_ = baseOf(targets_.law, DescentSide::satisfying, problem_.variableCount);
    failingBase_ = baseOf(targets_.law, DescentSide::failing, problem_.variableCount);
    if (targets_.failing) unevenLaw_ = unevenLawWarning(targets_.law, problem_.variableCount);
  }
}

DescentSettings SplittingEstimator::failingSettings() const {
  return clamped(targets_.failingSettings.value_or(settings_));
}

DescentTarget SplittingEstimator::descentTarget(DescentSide side) const {
  // The failing side goes up from the minimal clauses, which carry the failure where it is rare.
  const bool failing = side == DescentSide::failing;
  return {.side = side,
          .odds = oddsOf(targets_.law, side, problem_.variableCount),
          .watched = watchedOdds(targets_.probabilities, side),
          .watchOwn = !failing || !targets_.law.isUniform() || targets_.complementOfCount || targets_.probabilities.empty(),
          .ascend = failing,
          .minimal = failing ? minimal_ : nullptr};
}

SplittingEstimator::Worker& SplittingEstimator::worker(std::int32_t index) {
  return workers_.get(index, [this] {
    Worker made{SizeDescent(problem_, *table_, settings_, descentTarget(DescentSide::satisfying)), {}, {}, {}};
    if (recordSizes_) made.sizes.assign(static_cast<std::size_t>(problem_.variableCount) + 1, WideReal());
    if (targets_.failing) {
      made.failing.emplace(problem_, *table_, failingSettings(), descentTarget(DescentSide::failing));
    }
    made.descent.abandonOn(stop_);
    if (made.failing) made.failing->abandonOn(stop_);
    return made;
  });
}

void SplittingEstimator::SideRoots::add(const WideReal& estimate) {
  roots.add(estimate);
  sum += estimate;
  if (largest < estimate) largest = estimate;
}

// Worker 0's place in the block it runs, handed to its descents, so that the progress line
// moves during roots that take long.
class SplittingEstimator::RootProgress {
 public:
  explicit RootProgress(BlockProgress& blocks) : blocks_(blocks), step_([this](double part) { within(part); }) {}
  void startBlock(std::int64_t roots) { roots_ = static_cast<double>(roots); }
  // With the failing side each side is half a root: `start` is where this side begins (0 or
  // 0.5) and `share` its part of the root (1 or 0.5).
  void startRoot(std::int64_t done, double start = 0.0, double share = 1.0) {
    done_ = static_cast<double>(done) + start;
    share_ = share;
  }
  const SizeDescent::StepProgress* step() const { return &step_; }

 private:
  void within(double part) { blocks_.within((done_ + share_ * part) / roots_); }
  BlockProgress& blocks_;
  SizeDescent::StepProgress step_;
  double roots_ = 1.0;
  double done_ = 0.0;
  double share_ = 1.0;
};

SplittingEstimator::RootBlock SplittingEstimator::runBlock(Worker& worker, std::uint32_t replication,
                                                           std::int64_t block, const Blocks& blocks,
                                                           std::int32_t sampleSize, RootProgress* progress) const {
  const auto key = [&](StreamUse use) {
    return StreamKey{.seed = seed_, .use = use, .replication = replication, .block = static_cast<std::uint64_t>(block)};
  };
  SplitEngine engine = derivedEngine(key(StreamUse::samples));
  const bool failing = worker.failing.has_value();
  std::optional<SplitEngine> failingEngine;
  if (failing) failingEngine.emplace(derivedEngine(key(StreamUse::failing)));
  const double half = failing ? 0.5 : 1.0;
  const std::int64_t first = block * blocks.rootsPerBlock;
  const std::int64_t end = std::min<std::int64_t>(sampleSize, first + blocks.rootsPerBlock);
  if (progress != nullptr) progress->startBlock(end - first);
  RootBlock result;  // returned whole: neighbouring blocks' results share cache lines
  result.smallest = problem_.variableCount;
  result.smallestFailing = problem_.variableCount;
  for (std::int64_t root = first; root < end; ++root) {
    if (stop_ != nullptr && stop_->reason() == StopReason::interrupted) break;  // the replication is dropped
    if (progress != nullptr) progress->startRoot(root - first, 0.0, half);
    result.satisfying.add(worker.descent.run(engine, worker.sizes, progress != nullptr ? progress->step() : nullptr));
    result.smallest = std::min(result.smallest, worker.descent.smallestSize());
    if (!failing) continue;
    if (progress != nullptr) progress->startRoot(root - first, half, half);
    result.failing.add(
        worker.failing->run(*failingEngine, worker.failingSizes, progress != nullptr ? progress->step() : nullptr));
    result.smallestFailing = std::min(result.smallestFailing, worker.failing->smallestSize());
  }
  return result;
}

Replication SplittingEstimator::estimateModelCount(std::int32_t sampleSize) {
  const std::uint32_t replication = replication_++;
  sampleSize = std::max(sampleSize, 1);
  static_assert(std::is_trivially_copyable_v<RootBlock>);
  Blocks blocks;
  blocks.rootsPerBlock = rootsPerBlock(settings_, problem_.variableCount);
  blocks.count = (sampleSize + blocks.rootsPerBlock - 1) / blocks.rootsPerBlock;
  blocks.share = shareOf(blocks.count, ranks_->rank(), ranks_->size());
  const std::size_t width = recordSizes_ ? static_cast<std::size_t>(problem_.variableCount) + 1 : 0;
  const bool failing = targets_.failing;
  BlockSums sizes(blocks.count, width);
  BlockSums failingSizes(blocks.count, failing ? width : 0);
  std::vector<RootBlock> results(static_cast<std::size_t>(blocks.count));
  runTogether(*ranks_, [&] {
    if (!table_) table_ = std::make_unique<OccurrenceTable>(problem_);
    if (failing && !minimal_) {
      minimal_ = std::make_shared<const MinimalClauses>(
          problem_, *table_, oddsOf(targets_.law, DescentSide::failing, problem_.variableCount));
    }
    BlockProgress progress(onProgress, blocks.share.end - blocks.share.first, sampleSize);
    RootProgress within(progress);
    const std::int64_t ran = runBlocks(
        blocks.share.first, blocks.share.end, threads_,
        [&](std::int32_t w, std::int64_t block) {
          Worker& state = worker(w);
          if (state.sizes.size() != width) state.sizes.assign(width, WideReal());
          if (failing && state.failingSizes.size() != width) state.failingSizes.assign(width, WideReal());
          RootProgress* report = w == 0 && onProgress ? &within : nullptr;
          results[static_cast<std::size_t>(block)] = runBlock(state, replication, block, blocks, sampleSize, report);
          if (width > 0) sizes.add(block, state.sizes);
          if (width > 0 && failing) failingSizes.add(block, state.failingSizes);
        },
        std::ref(progress), stop_);
    // Blocks left unrun by a stop add nothing (zeros, exactly), so the sum tree completes.
    for (std::int64_t block = ran; block < blocks.share.end && width > 0; ++block) {
      std::vector<WideReal> nothing(width);
      sizes.add(block, nothing);
      if (failing) failingSizes.add(block, nothing);
    }
    progress.finish();
  });
  ranks_->share(results.data(), sizeof(RootBlock), blocks.count);
  if (width > 0) runTogether(*ranks_, [&] { sizes.gather(*ranks_); });
  if (width > 0 && failing) runTogether(*ranks_, [&] { failingSizes.gather(*ranks_); });
  std::int64_t drawn = 0;
  for (const RootBlock& block : results) drawn += block.satisfying.roots.count();
  const bool interrupted = onAnyRank(*ranks_, stop_ != nullptr && stop_->reason() == StopReason::interrupted);
  if (drawn == 0 || interrupted) {
    return Replication::cutShort(interrupted ? StopReason::interrupted : StopReason::timeLimit);
  }
  Replication result =
      summarize(results, width > 0 ? &sizes : nullptr, width > 0 && failing ? &failingSizes : nullptr, drawn);
  result.samples = static_cast<std::uint64_t>(drawn);
  if (drawn < sampleSize) result.stopped = StopReason::timeLimit;
  return result;
}

SplittingEstimator::SideAnswer SplittingEstimator::side(const SideRoots& total, const WideReal& count,
                                                        const WideReal& base, const char* what,
                                                        std::vector<std::string>& warnings) {
  // The classic statistics: population standard deviation, standard error relative to the mean.
  const WideReal average = total.sum / count;
  SideAnswer answer{targets_.law.isUniform() ? average : average * base,
                    relativeStandardError(total.roots.squares(), count, average).toDouble()};
  // Effective roots (sum x)^2 / sum x^2 = N / (1 + variance / mean^2).
  const double spread = (total.roots.squares() / (count * average * average)).toDouble();
  const double effective = count.toDouble() / (1.0 + spread);
  const double largestShare = (total.largest / total.sum).toDouble();
  if (!warned_) {
    if (auto warning = fewRootsWarning(total.roots.count(), effective, largestShare, what)) {
      warnings.push_back(*warning);
      warned_ = true;
    }
  }
  return answer;
}

Replication SplittingEstimator::summarize(const std::vector<RootBlock>& blocks, const BlockSums* sizes,
                                          const BlockSums* failingSizes, std::int64_t sampleSize) {
  RootBlock total;
  for (const RootBlock& block : blocks) {
    smallest_ = std::min(smallest_, block.smallest);
    smallestFailing_ = std::min(smallestFailing_, block.smallestFailing);
    if (total.satisfying.largest < block.satisfying.largest) total.satisfying.largest = block.satisfying.largest;
    total.satisfying.roots.merge(block.satisfying.roots);
    total.satisfying.sum += block.satisfying.sum;
    if (total.failing.largest < block.failing.largest) total.failing.largest = block.failing.largest;
    total.failing.roots.merge(block.failing.roots);
    total.failing.sum += block.failing.sum;
  }
  const WideReal count(static_cast<double>(sampleSize));
  const bool law = !targets_.law.isUniform();
  Replication result;
  const SideAnswer holds = side(total.satisfying, count, base_, "estimate", result.warnings);
  result.estimate = holds.estimate;
  result.relativeError = holds.relativeError;
  const bool complement = targets_.failing && (law || targets_.complementOfCount);
  const SideAnswer fails = complement ? side(total.failing, count, failingBase_, "complement", result.warnings)
                                      : SideAnswer{WideReal(std::numeric_limits<double>::quiet_NaN()),
                                                   std::numeric_limits<double>::quiet_NaN()};
  if (complement && unevenLaw_) {
    result.warnings.push_back(*unevenLaw_);
    unevenLaw_.reset();
  }
  if (law) {
    // The chance that the formula holds, and that it fails (NaN without the failing side).
    result.laws.push_back(LawAnswer{holds.estimate, fails.estimate, holds.relativeError, fails.relativeError});
  } else if (complement) {
    result.complement = fails.estimate;
    result.complementRelativeError = fails.relativeError;
  }
  // Per size: the blocks' sums over the roots, over N, times the base under a law.
  const auto perSize = [&](const BlockSums& sums, const WideReal& base) {
    std::vector<WideReal> values = sums.total();
    for (WideReal& size : values) {
      size /= count;
      if (law) size *= base;
    }
    return values;
  };
  if (sizes != nullptr) result.sizeEstimates = perSize(*sizes, base_);
  if (failingSizes != nullptr) result.failingSizeEstimates = perSize(*failingSizes, failingBase_);
  return result;
}

}  // namespace monocount
