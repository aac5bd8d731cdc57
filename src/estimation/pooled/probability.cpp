#include "estimation/pooled/probability.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace monocount {

namespace {

// 2^exponent for a real exponent, in extended range.
WideReal exp2Wide(long double exponent) {
  const long double whole = std::floor(exponent);
  return WideReal::scaled(std::exp2(exponent - whole), static_cast<std::int64_t>(whole));
}

}  // namespace

std::vector<WideReal> probabilityTerms(const std::vector<WideReal>& sizes, const VariableProbabilities& law) {
  if (!law.isUniform()) throw std::invalid_argument("a chance per variable is not weighed from the counts by size");
  const double p = law.uniformTruth();
  std::vector<WideReal> terms(sizes.size());
  if (sizes.empty()) return terms;
  const std::size_t n = sizes.size() - 1;
  if (p <= 0.0 || p >= 1.0) {
    const std::size_t only = p <= 0.0 ? 0 : n;
    terms[only] = sizes[only];
    return terms;
  }
  const long double q = 1.0L - static_cast<long double>(p);
  const WideReal ratio = WideReal::scaled(static_cast<long double>(p) / q, 0);
  WideReal weight = exp2Wide(static_cast<long double>(n) * std::log2(q));
  for (std::size_t k = 0; k <= n; ++k) {
    if (k > 0) weight *= ratio;
    if (!sizes[k].isZero()) terms[k] = sizes[k] * weight;
  }
  return terms;
}

ProbabilityPool::ProbabilityPool(std::vector<VariableProbabilities> laws, const Problem& problem)
    : laws_(std::move(laws)),
      noClauses_(problem.clauseCount == 0),
      satisfiable_(problem.everyClauseTouchable()),
      values_(laws_.size()) {}

void ProbabilityPool::add(const std::vector<WideReal>& sizes) {
  for (std::size_t i = 0; i < laws_.size(); ++i) {
    const double p = laws_[i].uniformTruth();
    if (p == 0.0 || p == 1.0) {
      values_[i].add((p == 0.0 ? noClauses_ : satisfiable_) ? 1.0 : 0.0);
      continue;
    }
    WideReal sum;
    for (const WideReal& term : probabilityTerms(sizes, laws_[i])) sum += term;
    values_[i].add(sum);
  }
}

std::vector<ProbabilityEstimate> ProbabilityPool::result() const {
  std::vector<ProbabilityEstimate> result;
  for (std::size_t i = 0; i < laws_.size(); ++i) {
    const double p = laws_[i].uniformTruth();
    result.push_back({laws_[i], p == 0.0 || p == 1.0, pooled(values_[i])});
  }
  return result;
}

}  // namespace monocount
