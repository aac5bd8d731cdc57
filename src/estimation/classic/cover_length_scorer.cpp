#include "estimation/classic/cover_length_scorer.hpp"

#include <algorithm>
#include <cmath>

#include "estimation/classic/binomial_tails.hpp"
#include "estimation/numerics/running_statistics.hpp"
#include "estimation/numerics/wide_binomials.hpp"

namespace monocount {

CoverLengthScorer::CoverLengthScorer(std::int32_t variableCount)
    : variableCount_(variableCount),
      tails_(fastBinomialTails(variableCount)),
      squares_(tails_.size()),
      counts_(tails_.size()) {
  for (std::size_t k = 0; k < tails_.size(); ++k) {
    if (std::isinf(tails_[k])) lastInfiniteTail_ = static_cast<std::int32_t>(k);
  }
}

template <typename Length>
ScoredSamples CoverLengthScorer::scoreInOrder(std::span<const Length> lengths, std::int32_t shortest) {
  const double count = static_cast<double>(lengths.size());
  const std::uint64_t samples = lengths.size();
  std::fill(counts_.begin(), counts_.end(), 0);
  if (shortest <= lastInfiniteTail_) {
    for (const Length length : lengths) ++counts_[length];
    return scoreWide(counts_, samples, nullptr);
  }
  // The samples per cover length are counted on the way (in the shadow of the sum's latency).
  double sum = 0.0;
  for (const Length length : lengths) {
    sum += tails_[length];
    ++counts_[length];
  }
  const double mean = sum / count;
  if (std::isinf(mean)) return scoreWide(counts_, samples, nullptr);
  for (std::int32_t length = shortest; length <= variableCount_; ++length) {
    const double deviation = tails_[static_cast<std::size_t>(length)] - mean;
    squares_[static_cast<std::size_t>(length)] = deviation * deviation;
  }
  double squares = 0.0;
  for (const Length length : lengths) squares += squares_[length];
  if (std::isinf(squares)) return scoreWide(counts_, samples, &mean);
  return {mean, relativeStandardError(squares, count, mean)};
}

template ScoredSamples CoverLengthScorer::scoreInOrder(std::span<const std::uint8_t>, std::int32_t);
template ScoredSamples CoverLengthScorer::scoreInOrder(std::span<const std::uint16_t>, std::int32_t);
template ScoredSamples CoverLengthScorer::scoreInOrder(std::span<const std::uint32_t>, std::int32_t);

ScoredSamples CoverLengthScorer::scoreCounts(std::span<const std::uint64_t> counts, std::uint64_t samples) {
  return scoreWide(counts, samples, nullptr);
}

// The statistics in extended range, scores summed per cover length. When the classic mean
// itself stayed finite it is kept, so only the relative error differs from the classic result.
ScoredSamples CoverLengthScorer::scoreWide(std::span<const std::uint64_t> counts, std::uint64_t samples,
                                           const double* classicMean) {
  if (wideTails_.empty()) wideTails_ = wideBinomialTails(variableCount_);
  const WideReal count(static_cast<double>(samples));
  std::size_t distinct = 0;
  std::size_t only = 0;
  for (std::size_t length = 1; length < counts.size(); ++length) {
    if (counts[length] != 0) ++distinct, only = length;
  }
  if (distinct == 1 && classicMean == nullptr) {
    // Identical scores: their mean is the score itself and they deviate by nothing.
    return {wideTails_[only], 0.0};
  }
  WideReal sum;
  for (std::size_t length = 1; length < counts.size(); ++length) {
    if (counts[length] != 0) sum += wideTails_[length] * WideReal(static_cast<double>(counts[length]));
  }
  const WideReal mean = classicMean != nullptr ? WideReal(*classicMean) : sum / count;
  WideReal squares;
  for (std::size_t length = 1; length < counts.size(); ++length) {
    if (counts[length] == 0) continue;
    const WideReal deviation = wideTails_[length] - mean;
    squares += deviation * deviation * WideReal(static_cast<double>(counts[length]));
  }
  return {mean, relativeStandardError(squares, count, mean).toDouble()};
}

}  // namespace monocount
