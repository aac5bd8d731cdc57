#pragma once

#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/pooled/spread.hpp"
#include "estimation/replication.hpp"
#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// The terms N(k) p^k (1 - p)^(n - k), k = 0 .. n, of the probability that the formula holds
// when every variable is true independently with one chance p (0 <= p <= 1: `law` must be
// uniform; a law with a chance per variable cannot be weighed from N(k), and throws
// std::invalid_argument), for the counts N(k) in `sizes` (n + 1 of them). 1 - p is taken in
// extended precision from p, where it is exact. In extended range: p^k (1 - p)^(n - k) is a
// running product from (1 - p)^n, about n roundings of 5e-20, so no term overflows or
// underflows for any n. With 0^0 = 1, p = 0 keeps N(0) alone and p = 1 keeps N(n).
std::vector<WideReal> probabilityTerms(const std::vector<WideReal>& sizes, const VariableProbabilities& law);

// Both sides under each law (each uniform) from a replication's N(k) and F(k) = C(n, k) - N(k)
// (n + 1 of each): sum_k N(k) p^k (1 - p)^(n - k) and sum_k F(k) p^k (1 - p)^(n - k).
std::vector<LawAnswer> lawAnswersFromSizes(const std::vector<WideReal>& sizes, const std::vector<WideReal>& failing,
                                           const std::vector<VariableProbabilities>& laws);

// The probability under one law (one chance p for every variable), pooled over the
// replications, and its complement, the probability that the formula fails, pooled on its own.
struct ProbabilityEstimate {
  VariableProbabilities law;
  // At p = 0 and p = 1 the probability is known without sampling: whether the formula has no
  // clauses, whether it has no empty clause.
  bool exact = false;
  PooledValue probability;
  PooledValue failure;
};

// The probabilities of a run under the given laws, from each replication's answers.
class ProbabilityPool {
 public:
  // Keeps no reference to `problem`.
  ProbabilityPool(std::vector<VariableProbabilities> laws, const Problem& problem);
  // One replication's answers, one per law in order.
  void add(const std::vector<LawAnswer>& answers);
  std::vector<ProbabilityEstimate> result() const;

 private:
  std::vector<VariableProbabilities> laws_;
  bool noClauses_;
  bool satisfiable_;
  std::vector<Spread> holds_;
  std::vector<Spread> fails_;
};

}  // namespace monocount
