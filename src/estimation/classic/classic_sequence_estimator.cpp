#include "estimation/classic/classic_sequence_estimator.hpp"

#include <algorithm>
#include <numeric>
#include <utility>
#include "estimation/known_count.hpp"

namespace monocount {

ClassicSequenceEstimator::ClassicSequenceEstimator(const Problem& problem, std::uint32_t seed,
                                                   std::vector<VariableProbabilities> laws, StopRequest* stop)
    : problem_(needsSampling(problem)),
      laws_(std::move(laws)),
      stop_(stop),
      source_(seed),
      index_(problem),
      shuffler_(problem.variableCount),
      scorer_(problem.variableCount),
      order_(static_cast<std::size_t>(problem.variableCount)) {}

MemoryNeed ClassicSequenceEstimator::memoryNeeded(const Problem& problem, std::int32_t sampleSize) {
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const auto m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t occurrences = problem.literals.size();
  // Per variable: the cover index's lists, stamps and positions (12), the shuffler's bound (16),
  // the order (4), the tail, square and count tables (24) and the extended-range tails (16);
  // per clause the index's four arrays; per occurrence its two copies. While the tables are
  // built, scratch space of about 16 bytes per variable comes on top (a measured peak of 85
  // bytes per variable for a formula of 10^7 variables).
  const std::uint64_t width = n <= 0xFF ? 1 : n <= 0xFFFF ? 2 : 4;
  return {.tables = 88 * n + 16 * m + 8 * occurrences,
          .samples = width * static_cast<std::uint64_t>(std::max(sampleSize, 0))};
}

Replication ClassicSequenceEstimator::estimateModelCount(std::int32_t sampleSize) {
  const auto sampleCount = static_cast<std::size_t>(std::max(sampleSize, 1));
  const std::int32_t n = problem_.variableCount;
  if (n <= 0xFF) return sampleAndScore(sampleCount, lengths8_);
  if (n <= 0xFFFF) return sampleAndScore(sampleCount, lengths16_);
  return sampleAndScore(sampleCount, lengths32_);
}

template <typename Length>
Replication ClassicSequenceEstimator::sampleAndScore(std::size_t sampleCount, std::vector<Length>& lengths) {
  lengths.resize(sampleCount);
  std::iota(order_.begin(), order_.end(), 0);
  const std::span<std::int32_t> order(order_);
  const std::int32_t n = problem_.variableCount;
  // Roughly 2^24 variable steps between two progress reports.
  const std::size_t chunk = std::max<std::size_t>(1, (std::size_t{1} << 24) / static_cast<std::size_t>(n));
  std::int32_t shortest = n;
  std::size_t done = 0;
  while (done < sampleCount && !(stop_ != nullptr && stop_->due())) {
    const std::size_t end = std::min(sampleCount, done + chunk);
    for (std::size_t sample = done; sample < end; ++sample) {
      shuffler_.shuffle(order, source_);
      const std::int32_t length = index_.coverPositionOfPermutation(order_.data()) + 1;
      lengths[sample] = static_cast<Length>(length);
      shortest = std::min(shortest, length);
    }
    done = end;
    if (onProgress) onProgress(static_cast<double>(done));
  }
  if (done == 0 || (stop_ != nullptr && stop_->reason() == StopReason::interrupted)) {
    return Replication::cutShort(stop_ != nullptr ? stop_->reason() : StopReason::none);
  }
  const ScoredSamples scored = scorer_.scoreInOrder(std::span<const Length>(lengths.data(), done), shortest);
  Replication result;
  result.estimate = scored.estimate;
  result.relativeError = scored.relativeError;
  result.samples = done;
  if (done < sampleCount) result.stopped = StopReason::timeLimit;
  result.coverLengths = CoverLengthCounts::of(scorer_.counts(), done);
  scorer_.scoreSides(result, laws_);
  return result;
}

}  // namespace monocount
