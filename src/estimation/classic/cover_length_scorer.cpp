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

namespace {

// The mean and relative standard error of per-sample values given per cover length: values[i]
// is the value of length first + i, counts[L] the samples of length L.
ScoredSamples statisticsOf(const std::vector<WideReal>& values, std::size_t first,
                           std::span<const std::uint64_t> counts, std::uint64_t samples) {
  const WideReal count(static_cast<double>(samples));
  WideReal sum;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (counts[first + i] != 0) sum += values[i] * WideReal(static_cast<double>(counts[first + i]));
  }
  const WideReal mean = sum / count;
  WideReal squares;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (counts[first + i] == 0) continue;
    const WideReal deviation = values[i] - mean;
    squares += deviation * deviation * WideReal(static_cast<double>(counts[first + i]));
  }
  const double relativeError = squares.isZero() ? 0.0 : relativeStandardError(squares, count, mean).toDouble();
  return {mean, relativeError};
}

// The lengths that occurred: first and one past the last with a sample.
std::pair<std::size_t, std::size_t> occurred(std::span<const std::uint64_t> counts) {
  std::size_t first = 0;
  std::size_t end = counts.size();
  while (first < end && counts[first] == 0) ++first;
  while (end > first && counts[end - 1] == 0) --end;
  return {first, end};
}

// 2^exponent for a real exponent, in extended range.
WideReal exp2Wide(long double exponent) {
  const long double whole = std::floor(exponent);
  return WideReal::scaled(std::exp2(exponent - whole), static_cast<std::int64_t>(whole));
}

}  // namespace

ScoredSamples CoverLengthScorer::scoreComplement(std::span<const std::uint64_t> counts, std::uint64_t samples) const {
  const auto [first, end] = occurred(counts);
  std::vector<WideReal> values(end - first);
  // below = C(n, 0) + ... + C(n, L - 1), coefficient = C(n, L), both built upward from L = 0.
  WideReal below;
  WideReal coefficient(1.0);
  for (std::size_t length = 0; length < end; ++length) {
    if (length >= first) values[length - first] = below;
    below += coefficient;
    coefficient = coefficient * WideReal(static_cast<double>(variableCount_) - static_cast<double>(length)) /
                  WideReal(static_cast<double>(length) + 1.0);
  }
  return statisticsOf(values, first, counts, samples);
}

LawAnswer CoverLengthScorer::scoreLaw(std::span<const std::uint64_t> counts, std::uint64_t samples,
                                      const VariableProbabilities& law) const {
  const auto [first, end] = occurred(counts);
  const long double p = law.uniformTruth();
  const long double q = law.uniformFalsity();
  const std::int64_t n = variableCount_;
  // The binomial terms C(n, k) p^k q^(n - k) as running products in extended range, upward from
  // q^n for the lower tails and downward from p^n for the upper ones, so each tail is a sum of
  // its own terms.
  std::vector<WideReal> fails(end - first);
  if (p > 0.0L) {
    WideReal below;
    WideReal term = q > 0.0L ? exp2Wide(static_cast<long double>(n) * std::log2(q)) : WideReal(0.0);
    const WideReal ratio = q > 0.0L ? WideReal::scaled(p / q, 0) : WideReal(0.0);
    for (std::size_t length = 0; length < end; ++length) {
      if (length >= first) fails[length - first] = below;
      below += term;
      term = term * ratio * WideReal(static_cast<double>(n - static_cast<std::int64_t>(length))) /
             WideReal(static_cast<double>(length) + 1.0);
    }
  } else {
    for (std::size_t length = std::max<std::size_t>(first, 1); length < end; ++length) fails[length - first] = 1.0;
  }
  std::vector<WideReal> holds(end - first);
  if (q > 0.0L) {
    WideReal above;
    WideReal term = p > 0.0L ? exp2Wide(static_cast<long double>(n) * std::log2(p)) : WideReal(0.0);
    const WideReal ratio = p > 0.0L ? WideReal::scaled(q / p, 0) : WideReal(0.0);
    for (std::int64_t length = n; length >= static_cast<std::int64_t>(first); --length) {
      above += term;  // now P(X >= length)
      if (static_cast<std::size_t>(length) < end) holds[static_cast<std::size_t>(length) - first] = above;
      term = term * ratio * WideReal(static_cast<double>(length)) / WideReal(static_cast<double>(n - length + 1));
    }
  } else {
    for (std::size_t length = first; length < end; ++length) holds[length - first] = 1.0;
  }
  const ScoredSamples holding = statisticsOf(holds, first, counts, samples);
  const ScoredSamples failing = statisticsOf(fails, first, counts, samples);
  return {holding.estimate, failing.estimate, holding.relativeError, failing.relativeError};
}

void CoverLengthScorer::scoreSides(Replication& replication, const std::vector<VariableProbabilities>& laws) const {
  const CoverLengthCounts& lengths = replication.coverLengths;
  std::vector<std::uint64_t> counts(static_cast<std::size_t>(variableCount_) + 1, 0);
  for (std::size_t i = 0; i < lengths.counts.size(); ++i) counts[static_cast<std::size_t>(lengths.first) + i] = lengths.counts[i];
  const ScoredSamples complement = scoreComplement(counts, lengths.samples);
  replication.complement = complement.estimate;
  replication.complementRelativeError = complement.relativeError;
  for (const VariableProbabilities& law : laws) replication.laws.push_back(scoreLaw(counts, lengths.samples, law));
}

}  // namespace monocount
