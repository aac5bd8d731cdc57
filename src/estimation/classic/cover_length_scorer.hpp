#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/replication.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// The mean score of a replication and its relative standard error, where a sample whose order
// has cover length L scores T[L] = C(n, L) + ... + C(n, n), the number of sets of at least L
// variables: the statistics both crude estimators share.
struct ScoredSamples {
  WideReal estimate;
  double relativeError = 0.0;
};

// Scores the cover lengths of n variables. Builds the classic tail table once (the classic
// bits; +inf where the classic arithmetic overflows, from n = 1021 on) and the extended-range
// table on first need.
class CoverLengthScorer {
 public:
  explicit CoverLengthScorer(std::int32_t variableCount);

  // The classic statistics of scores given in sample order (lengths[i], 1 .. n, the cover length
  // of sample i; `shortest` the shortest of them), in the classic order of operations: the
  // mean of the scores summed in sample order, the population standard deviation around it,
  // and the standard error relative to the mean. The scores are looked up again rather than
  // stored, which gives the same sums. Every digit is the classic one wherever the classic
  // double arithmetic stays finite; where it overflows, the same statistics in extended range
  // (keeping the classic mean when only the squares overflow). Also leaves in counts() the
  // samples per cover length. Needs at least one sample.
  template <typename Length>
  ScoredSamples scoreInOrder(std::span<const Length> lengths, std::int32_t shortest);

  // The same statistics from the samples per cover length (counts[L], L = 0 .. n, summing to
  // `samples` >= 1), in extended range, lengths in increasing order: the same digits however
  // the samples were split up.
  ScoredSamples scoreCounts(std::span<const std::uint64_t> counts, std::uint64_t samples);

  // The other side of the same samples: a sample of cover length L is failed by the sets of
  // fewer than L variables, C(n, 0) + ... + C(n, L - 1) (2^n minus its score), so their mean is
  // an unbiased estimate of the sets that do not satisfy the formula. Summed upward, never
  // subtracted, in extended range; from the samples per cover length as scoreCounts takes them.
  ScoredSamples scoreComplement(std::span<const std::uint64_t> counts, std::uint64_t samples) const;

  // Both sides under one chance p for every variable (`law` uniform): a sample of cover length
  // L holds with P(Binomial(n, p) >= L) and fails with P(Binomial(n, p) < L), exactly (a set
  // satisfies the formula exactly when it holds the first L variables of a uniform order, and
  // a uniform order's first k variables are a uniform k-set). Their means over the samples are
  // unbiased estimates of the probability that the formula holds and that it fails, each summed
  // from its own tail of the binomial terms (no 1 - x), so a failure of 1e-18 keeps its digits,
  // with the relative standard error of each.
  LawAnswer scoreLaw(std::span<const std::uint64_t> counts, std::uint64_t samples, const VariableProbabilities& law) const;

  // Fills the other sides of `replication` from its cover lengths: the complement, and the
  // answer under each of `laws`.
  void scoreSides(Replication& replication, const std::vector<VariableProbabilities>& laws) const;

  // Samples per cover length 0 .. n, as the last scoreInOrder left them.
  std::span<const std::uint64_t> counts() const { return counts_; }

 private:
  ScoredSamples scoreWide(std::span<const std::uint64_t> counts, std::uint64_t samples, const double* classicMean);

  std::int32_t variableCount_;
  std::vector<double> tails_;          // the classic table, bit for bit; +inf where it overflows
  std::int32_t lastInfiniteTail_ = -1; // tails_[k] is +inf exactly for k <= this
  std::vector<WideReal> wideTails_;    // built on first need
  std::vector<double> squares_;        // (T[L] - mean)^2 per cover length, for one replication
  std::vector<std::uint64_t> counts_;  // samples per cover length of the last scoreInOrder
};

}  // namespace monocount
