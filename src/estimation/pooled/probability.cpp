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
  const long double q = law.uniformFalsity();
  const WideReal ratio = WideReal::scaled(static_cast<long double>(p) / q, 0);
  WideReal weight = exp2Wide(static_cast<long double>(n) * std::log2(q));
  for (std::size_t k = 0; k <= n; ++k) {
    if (k > 0) weight *= ratio;
    if (!sizes[k].isZero()) terms[k] = sizes[k] * weight;
  }
  return terms;
}

std::vector<LawAnswer> lawAnswersFromSizes(const std::vector<WideReal>& sizes, const std::vector<WideReal>& failing,
                                           const std::vector<VariableProbabilities>& laws) {
  std::vector<LawAnswer> answers;
  for (const VariableProbabilities& law : laws) {
    LawAnswer answer;
    for (const WideReal& term : probabilityTerms(sizes, law)) answer.holds += term;
    for (const WideReal& term : probabilityTerms(failing, law)) answer.fails += term;
    answers.push_back(answer);
  }
  return answers;
}

ProbabilityPool::ProbabilityPool(std::vector<VariableProbabilities> laws, const Problem& problem)
    : laws_(std::move(laws)),
      noClauses_(problem.clauseCount == 0),
      satisfiable_(problem.everyClauseTouchable()),
      holds_(laws_.size()),
      fails_(laws_.size()) {}

void ProbabilityPool::add(const std::vector<LawAnswer>& answers) {
  for (std::size_t i = 0; i < laws_.size() && i < answers.size(); ++i) {
    const double p = laws_[i].uniformTruth();
    if (laws_[i].isUniform() && (p == 0.0 || p == 1.0)) {
      const bool holds = p == 0.0 ? noClauses_ : satisfiable_;
      holds_[i].add(holds ? 1.0 : 0.0);
      fails_[i].add(holds ? 0.0 : 1.0);
      continue;
    }
    holds_[i].add(answers[i].holds);
    fails_[i].add(answers[i].fails);
  }
}

std::vector<ProbabilityEstimate> ProbabilityPool::result() const {
  std::vector<ProbabilityEstimate> result;
  for (std::size_t i = 0; i < laws_.size(); ++i) {
    const double p = laws_[i].uniformTruth();
    const bool exact = laws_[i].isUniform() && (p == 0.0 || p == 1.0);
    result.push_back({laws_[i], exact, pooled(holds_[i]), pooled(fails_[i])});
  }
  return result;
}

}  // namespace monocount
