#include "estimation/exact/exact_estimator.hpp"

#include <utility>

namespace monocount {

namespace {

using boost::multiprecision::mpz_int;

// C(n, k) for k = 0 .. n, exactly.
std::vector<mpz_int> exactBinomials(std::int32_t n) {
  std::vector<mpz_int> row(static_cast<std::size_t>(n) + 1);
  row[0] = 1;
  for (std::int32_t k = 1; k <= n; ++k) {
    row[static_cast<std::size_t>(k)] = row[static_cast<std::size_t>(k) - 1] * (n - k + 1) / k;
  }
  return row;
}

}  // namespace

ExactEstimator::ExactEstimator(const Problem& problem, std::shared_ptr<const ExactPlan> plan, ExactSettings settings)
    : problem_(problem), plan_(std::move(plan)), settings_(std::move(settings)) {}

Replication ExactEstimator::estimateModelCount(std::int32_t) {
  if (!answer_) answer_ = compute();
  return *answer_;
}

Replication ExactEstimator::compute() const {
  const ExactResult result = exactCount(problem_, *plan_, settings_);
  const std::int32_t n = problem_.variableCount;
  Replication answer;
  answer.exact = true;
  answer.exactCount = result.countDecimal();
  answer.estimate = result.countWide();
  answer.relativeError = 0.0;
  answer.samples = 1;
  const mpz_int all = mpz_int(1) << static_cast<unsigned>(n);
  answer.complement = toWideReal(all - result.count);
  answer.complementRelativeError = 0.0;
  for (const ExactProbability& probability : result.probabilities) {
    answer.laws.push_back({probability.holds, probability.fails, 0.0, 0.0});
  }
  if (!result.spectrumWide.empty()) {
    answer.sizeEstimates = result.spectrumWide;
    answer.failingSizeEstimates.resize(result.spectrumWide.size());
    if (!result.spectrum.empty()) {
      const std::vector<mpz_int> binomials = exactBinomials(n);
      for (std::size_t k = 0; k < result.spectrum.size(); ++k) {
        answer.failingSizeEstimates[k] = toWideReal(binomials[k] - result.spectrum[k]);
      }
    } else {
      // The floating spectrum: F(k) by subtraction, within the spectrum's bound of C(n, k).
      WideReal binomial(1.0);
      for (std::size_t k = 0; k < result.spectrumWide.size(); ++k) {
        const WideReal rest = binomial - result.spectrumWide[k];
        answer.failingSizeEstimates[k] = rest.isNegative() ? WideReal(0.0) : rest;
        binomial = binomial * WideReal(static_cast<double>(n) - static_cast<double>(k)) / WideReal(static_cast<double>(k) + 1.0);
      }
    }
  }
  return answer;
}

}  // namespace monocount
