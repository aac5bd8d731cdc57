#include "estimation/splitting/splitting_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <type_traits>

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
      workers_(threads_) {
  settings_.particles = std::max(settings_.particles, 1);
  settings_.walkSteps = std::max(settings_.walkSteps, 0);
}

MemoryNeed SplittingEstimator::memoryNeeded(const Problem& problem, const DescentSettings& settings, std::int32_t threads) {
  if (problem.clauseCount == 0 || !problem.everyClauseTouchable()) return {};
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

Replication SplittingEstimator::estimateModelCount(std::int32_t sampleSize) {
  const std::uint32_t replication = replication_++;
  if (sampleSize <= 0) {
    Replication none;
    none.estimate = none.relativeError = std::numeric_limits<double>::quiet_NaN();
    return none;
  }
  if (degenerate_) {
    Replication exact;
    exact.estimate = problem_.clauseCount == 0 ? WideReal::powerOfTwo(problem_.variableCount) : WideReal(0.0);
    exact.coverLengths.samples = static_cast<std::uint64_t>(sampleSize);
    if (problem_.clauseCount == 0) exact.coverLengths.counts.assign(1, static_cast<std::uint64_t>(sampleSize));
    return exact;
  }
  static_assert(std::is_trivially_copyable_v<RootBlock>);
  const std::int32_t n = problem_.variableCount;
  const std::int64_t perBlock = rootsPerBlock(settings_, n);
  const std::int64_t blocks = (sampleSize + perBlock - 1) / perBlock;
  const Share share = shareOf(blocks, ranks_->rank(), ranks_->size());
  const std::size_t width = recordSizes_ ? static_cast<std::size_t>(n) + 1 : 0;
  BlockSums sizes(blocks, width);
  std::vector<RootBlock> results;
  runTogether(*ranks_, [&] {
    if (!table_) table_ = std::make_unique<OccurrenceTable>(problem_);
    results.resize(static_cast<std::size_t>(blocks));
    BlockProgress progress(onProgress, share.end - share.first, sampleSize);
    // Worker 0's place in its block, so that the line moves during roots that take long.
    double rootsDone = 0.0;
    double rootsInBlock = 1.0;
    const SizeDescent::StepProgress within = [&](double part) {
      progress.within((rootsDone + part) / rootsInBlock);
    };
    runBlocks(
        share.first, share.end, threads_,
        [&](std::int32_t w, std::int64_t block) {
          Worker& state = worker(w);
          if (state.sizes.size() != width) state.sizes.assign(width, WideReal());
          SplitEngine engine = derivedEngine({.seed = seed_, .use = StreamUse::samples, .replication = replication,
                                              .block = static_cast<std::uint64_t>(block)});
          RootBlock result;  // stored once it is complete: neighbouring blocks share cache lines
          result.smallest = n;
          const std::int64_t end = std::min<std::int64_t>(sampleSize, (block + 1) * perBlock);
          const SizeDescent::StepProgress* report = w == 0 && onProgress ? &within : nullptr;
          if (report != nullptr) rootsInBlock = static_cast<double>(end - block * perBlock);
          for (std::int64_t root = block * perBlock; root < end; ++root) {
            if (report != nullptr) rootsDone = static_cast<double>(root - block * perBlock);
            // Welford's running update: the squared deviations around the block's mean.
            const WideReal estimate = state.descent.run(engine, state.sizes, report);
            result.smallest = std::min(result.smallest, state.descent.smallestSize());
            ++result.roots;
            result.sum += estimate;
            if (result.largest < estimate) result.largest = estimate;
            const WideReal deviation = estimate - result.mean;
            result.mean += deviation / WideReal(static_cast<double>(result.roots));
            result.squares += deviation * (estimate - result.mean);
          }
          results[static_cast<std::size_t>(block)] = result;
          if (width > 0) sizes.add(block, state.sizes);
        },
        std::ref(progress));
    progress.finish();
  });
  ranks_->share(results.data(), sizeof(RootBlock), blocks);
  if (width > 0) runTogether(*ranks_, [&] { sizes.gather(*ranks_); });

  // The blocks in block order: sums added, squared deviations merged (Chan, Golub and LeVeque).
  RootBlock total;
  for (const RootBlock& block : results) {
    smallest_ = std::min(smallest_, block.smallest);
    if (total.largest < block.largest) total.largest = block.largest;
    if (total.roots == 0) {
      total.roots = block.roots;
      total.sum = block.sum;
      total.mean = block.mean;
      total.squares = block.squares;
      continue;
    }
    const WideReal before(static_cast<double>(total.roots));
    const WideReal added(static_cast<double>(block.roots));
    const WideReal combined = before + added;
    const WideReal delta = block.mean - total.mean;
    total.roots += block.roots;
    total.sum += block.sum;
    total.mean += delta * added / combined;
    total.squares += block.squares + delta * delta * before * added / combined;
  }
  // The classic statistics: population standard deviation, standard error relative to the mean.
  const WideReal count(static_cast<double>(sampleSize));
  const WideReal average = total.sum / count;
  Replication result;
  result.estimate = average;
  result.relativeError = (sqrt(total.squares / count) / (sqrt(count) * average)).toDouble();
  if (width > 0) {
    result.sizeEstimates = sizes.total();
    for (WideReal& size : result.sizeEstimates) size /= count;
  }
  // Effective roots (sum x)^2 / sum x^2 = N / (1 + variance / mean^2).
  const double spread = (total.squares / (count * average * average)).toDouble();
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
