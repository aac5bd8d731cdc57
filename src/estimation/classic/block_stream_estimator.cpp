#include "estimation/classic/block_stream_estimator.hpp"

#include <algorithm>
#include <utility>

#include "estimation/known_count.hpp"
#include "estimation/randomness/derived_streams.hpp"

namespace monocount {

BlockStreamEstimator::BlockStreamEstimator(const Problem& problem, std::uint32_t seed, const Parallelism& parallelism,
                                           std::vector<VariableProbabilities> laws)
    : problem_(needsSampling(problem)),
      laws_(std::move(laws)),
      seed_(seed),
      threads_(std::max(parallelism.threads, 1)),
      ranks_(parallelism.ranks != nullptr ? parallelism.ranks : &alone_),
      stop_(parallelism.stop),
      shuffler_(problem.variableCount),
      scorer_(problem.variableCount),
      counts_(static_cast<std::size_t>(problem.variableCount) + 1),
      workers_(threads_) {}

MemoryNeed BlockStreamEstimator::memoryNeeded(const Problem& problem, std::int32_t sampleSize, std::int32_t workers) {
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const auto m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t occurrences = problem.literals.size();
  // The shuffler's bounds and the tail tables are shared (measured peak: 93 bytes per variable
  // on one worker, for a formula of 10^7 variables); every worker that gets a block has its own
  // index, order and counts.
  const std::int64_t perBlock = samplesPerBlock(problem.variableCount);
  const auto busy = static_cast<std::uint64_t>(
      std::clamp<std::int64_t>((std::max(sampleSize, 1) + perBlock - 1) / perBlock, 1, std::max(workers, 1)));
  return {.tables = 72 * n + busy * (24 * n + 16 * m + 8 * occurrences), .samples = 0};
}

std::int64_t BlockStreamEstimator::samplesPerBlock(std::int32_t variableCount) {
  const std::int64_t n = std::max<std::int64_t>(variableCount, 1);
  return (std::int64_t{1} << 16) / n + ((std::int64_t{1} << 16) % n != 0 ? 1 : 0);
}

BlockStreamEstimator::Worker BlockStreamEstimator::makeWorker() const {
  Worker state{.index = std::nullopt,
               .order = std::vector<std::int32_t>(static_cast<std::size_t>(problem_.variableCount)),
               .counts = std::vector<std::uint64_t>(static_cast<std::size_t>(problem_.variableCount) + 1, 0)};
  state.index.emplace(problem_);
  return state;
}

void BlockStreamEstimator::runBlock(Worker& worker, std::uint32_t replication, std::int64_t block,
                                    std::size_t sampleCount) const {
  const std::int64_t perBlock = samplesPerBlock(problem_.variableCount);
  const auto first = static_cast<std::size_t>(block * perBlock);
  const std::size_t end = std::min(sampleCount, first + static_cast<std::size_t>(perBlock));
  RandomSource source = derivedSource({.seed = seed_, .use = StreamUse::samples, .replication = replication,
                                       .block = static_cast<std::uint64_t>(block)});
  CoverIndex& index = *worker.index;
  const std::span<std::int32_t> order(worker.order);
  std::uint64_t* counts = worker.counts.data();
  for (std::size_t sample = first; sample < end; ++sample) {
    shuffler_.drawOrder(order, source);
    ++counts[index.coverPositionOfPermutation(order.data()) + 1];
  }
}

Replication BlockStreamEstimator::estimateModelCount(std::int32_t sampleSize) {
  const std::uint32_t replication = replication_++;
  const auto sampleCount = static_cast<std::size_t>(std::max(sampleSize, 1));
  const auto samples = static_cast<std::int64_t>(sampleCount);
  const std::int64_t blocks = blocksFor(samples, samplesPerBlock(problem_.variableCount));
  runTogether(*ranks_, [&] {
    std::fill(counts_.begin(), counts_.end(), 0);
    runShare(*ranks_, blocks, samples, threads_, onProgress, stop_, [&](std::int32_t w, std::int64_t block) {
      Worker& worker = workers_.get(w, [&] { return makeWorker(); });
      runBlock(worker, replication, block, sampleCount);
    });
    // Counts add up exactly, so the workers' sums are those of the blocks in block order.
    workers_.forEach([&](Worker& worker) {
      for (std::size_t length = 0; length < counts_.size(); ++length) counts_[length] += worker.counts[length];
      std::fill(worker.counts.begin(), worker.counts.end(), 0);
    });
  });
  ranks_->sum(counts_);
  // Cut short when some rank stopped taking blocks: the samples drawn are those counted.
  std::uint64_t drawn = 0;
  for (const std::uint64_t count : counts_) drawn += count;
  const bool interrupted = onAnyRank(*ranks_, stop_ != nullptr && stop_->reason() == StopReason::interrupted);
  if (drawn == 0 || interrupted) {
    return Replication::cutShort(interrupted ? StopReason::interrupted : StopReason::timeLimit);
  }
  const ScoredSamples scored = scorer_.scoreCounts(counts_, drawn);
  Replication result;
  result.estimate = scored.estimate;
  result.relativeError = scored.relativeError;
  result.samples = drawn;
  if (drawn < sampleCount) result.stopped = StopReason::timeLimit;
  result.coverLengths = CoverLengthCounts::of(counts_, drawn);
  scorer_.scoreSides(result, laws_);
  return result;
}

}  // namespace monocount
