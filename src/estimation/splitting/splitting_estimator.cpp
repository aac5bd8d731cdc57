#include "estimation/splitting/splitting_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <type_traits>

#include "estimation/known_count.hpp"
#include "estimation/randomness/derived_streams.hpp"

namespace monocount {

SplittingEstimator::SplittingEstimator(const Problem& problem, std::uint32_t seed, const DescentSettings& settings,
                                       const Parallelism& parallelism)
    : problem_(needsSampling(problem)),
      settings_(settings),
      seed_(seed),
      threads_(std::max(parallelism.threads, 1)),
      ranks_(parallelism.ranks != nullptr ? parallelism.ranks : &alone_),
      stop_(parallelism.stop),
      smallest_(problem.variableCount),
      workers_(threads_) {
  settings_.particles = std::max(settings_.particles, 1);
  settings_.walkSteps = std::max(settings_.walkSteps, 0);
}

MemoryNeed SplittingEstimator::memoryNeeded(const Problem& problem, const DescentSettings& settings, std::int32_t threads) {
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const auto m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t table = 4 * n + 8 * m + 4 * problem.literals.size();
  const auto workers = static_cast<std::uint64_t>(std::max(threads, 1));
  const auto particles = static_cast<std::uint64_t>(std::max(settings.particles, 1));
  const std::uint64_t state = 20 * n + 4 * m;
  // Per worker besides: a block's size sums, and as many again waiting in the sum tree.
  const std::uint64_t sizes = 2 * (n + 1) * sizeof(WideReal);
  return {.tables = table + workers * (particles * state + sizes), .samples = 0};
}

std::int64_t SplittingEstimator::rootsPerBlock(const DescentSettings& settings, std::int32_t variableCount) {
  const double work = std::max(1.0, static_cast<double>(variableCount) * std::max(settings.particles, 1));
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(65536.0 / work)));
}

std::optional<std::string> SplittingEstimator::fewRootsWarning(std::int64_t roots, double effective, double largestShare) {
  // A root carrying most of the sum, or far fewer effective roots than N: the spread of the
  // roots then says little about the error, and the estimate is likely low (the roots that
  // would carry it were not drawn).
  const bool dominated = roots >= 2 && largestShare > 0.5;
  const bool few = effective < 30.0 && effective < 0.1 * static_cast<double>(roots);
  if (!dominated && !few) return std::nullopt;
  std::ostringstream text;
  text << "the estimate rests on " << std::max<std::int64_t>(1, std::llround(effective)) << " of " << roots
       << " samples (one of them carries " << std::llround(100.0 * largestShare)
       << " % of the sum), so its RE cannot be trusted; increase --N";
  return text.str();
}

SplittingEstimator::Worker& SplittingEstimator::worker(std::int32_t index) {
  return workers_.get(index, [this] {
    Worker made{SizeDescent(problem_, *table_, settings_), {}};
    if (recordSizes_) made.sizes.assign(static_cast<std::size_t>(problem_.variableCount) + 1, WideReal());
    return made;
  });
}

// Worker 0's place in the block it runs, handed to its descents, so that the progress line
// moves during roots that take long.
class SplittingEstimator::RootProgress {
 public:
  explicit RootProgress(BlockProgress& blocks) : blocks_(blocks), step_([this](double part) { within(part); }) {}
  void startBlock(std::int64_t roots) { roots_ = static_cast<double>(roots); }
  void startRoot(std::int64_t done) { done_ = static_cast<double>(done); }
  const SizeDescent::StepProgress* step() const { return &step_; }

 private:
  void within(double part) { blocks_.within((done_ + part) / roots_); }
  BlockProgress& blocks_;
  SizeDescent::StepProgress step_;
  double roots_ = 1.0;
  double done_ = 0.0;
};

SplittingEstimator::RootBlock SplittingEstimator::runBlock(Worker& worker, std::uint32_t replication,
                                                           std::int64_t block, const Blocks& blocks,
                                                           std::int32_t sampleSize, RootProgress* progress) const {
  SplitEngine engine = derivedEngine(
      {.seed = seed_, .use = StreamUse::samples, .replication = replication, .block = static_cast<std::uint64_t>(block)});
  const std::int64_t first = block * blocks.rootsPerBlock;
  const std::int64_t end = std::min<std::int64_t>(sampleSize, first + blocks.rootsPerBlock);
  if (progress != nullptr) progress->startBlock(end - first);
  RootBlock result;  // returned whole: neighbouring blocks' results share cache lines
  result.smallest = problem_.variableCount;
  for (std::int64_t root = first; root < end; ++root) {
    if (progress != nullptr) progress->startRoot(root - first);
    const WideReal estimate = worker.descent.run(engine, worker.sizes, progress != nullptr ? progress->step() : nullptr);
    result.smallest = std::min(result.smallest, worker.descent.smallestSize());
    result.roots.add(estimate);
    result.sum += estimate;
    if (result.largest < estimate) result.largest = estimate;
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
  BlockSums sizes(blocks.count, width);
  std::vector<RootBlock> results(static_cast<std::size_t>(blocks.count));
  runTogether(*ranks_, [&] {
    if (!table_) table_ = std::make_unique<OccurrenceTable>(problem_);
    BlockProgress progress(onProgress, blocks.share.end - blocks.share.first, sampleSize);
    RootProgress within(progress);
    const std::int64_t ran = runBlocks(
        blocks.share.first, blocks.share.end, threads_,
        [&](std::int32_t w, std::int64_t block) {
          Worker& state = worker(w);
          if (state.sizes.size() != width) state.sizes.assign(width, WideReal());
          RootProgress* report = w == 0 && onProgress ? &within : nullptr;
          results[static_cast<std::size_t>(block)] = runBlock(state, replication, block, blocks, sampleSize, report);
          if (width > 0) sizes.add(block, state.sizes);
        },
        std::ref(progress), stop_);
    // Blocks left unrun by a stop add nothing (zeros, exactly), so the sum tree completes.
    for (std::int64_t block = ran; block < blocks.share.end && width > 0; ++block) {
      std::vector<WideReal> nothing(width);
      sizes.add(block, nothing);
    }
    progress.finish();
  });
  ranks_->share(results.data(), sizeof(RootBlock), blocks.count);
  if (width > 0) runTogether(*ranks_, [&] { sizes.gather(*ranks_); });
  std::int64_t drawn = 0;
  for (const RootBlock& block : results) drawn += block.roots.count();
  const bool interrupted = onAnyRank(*ranks_, stop_ != nullptr && stop_->reason() == StopReason::interrupted);
  if (drawn == 0 || interrupted) {
    Replication cut = Replication::none();
    cut.stopped = interrupted ? StopReason::interrupted : StopReason::timeLimit;
    return cut;
  }
  Replication result = summarize(results, width > 0 ? &sizes : nullptr, drawn);
  result.samples = static_cast<std::uint64_t>(drawn);
  if (drawn < sampleSize) result.stopped = StopReason::timeLimit;
  return result;
}

Replication SplittingEstimator::summarize(const std::vector<RootBlock>& blocks, const BlockSums* sizes,
                                          std::int64_t sampleSize) {
  RootBlock total;
  for (const RootBlock& block : blocks) {
    smallest_ = std::min(smallest_, block.smallest);
    if (total.largest < block.largest) total.largest = block.largest;
    total.roots.merge(block.roots);
    total.sum += block.sum;
  }
  // The classic statistics: population standard deviation, standard error relative to the mean.
  const WideReal count(static_cast<double>(sampleSize));
  const WideReal average = total.sum / count;
  Replication result;
  result.estimate = average;
  result.relativeError = relativeStandardError(total.roots.squares(), count, average).toDouble();
  if (sizes != nullptr) {
    result.sizeEstimates = sizes->total();
    for (WideReal& size : result.sizeEstimates) size /= count;
  }
  // Effective roots (sum x)^2 / sum x^2 = N / (1 + variance / mean^2).
  const double spread = (total.roots.squares() / (count * average * average)).toDouble();
  const double effective = static_cast<double>(sampleSize) / (1.0 + spread);
  const double largestShare = (total.largest / total.sum).toDouble();
  if (!warned_) {
    if (auto warning = fewRootsWarning(sampleSize, effective, largestShare)) {
      result.warnings.push_back(*warning);
      warned_ = true;
    }
  }
  return result;
}

}  // namespace monocount
