#include "estimation/pooled/probability.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "estimation/estimator.hpp"
#include "estimation/numerics/wide_binomials.hpp"
#include "estimation/pooled/run_pool.hpp"
#include "support/enumeration.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Formula;

std::vector<ProbabilityEstimate> probabilitiesOf(const Formula& formula, Method method, const std::vector<double>& ps,
                                                 std::int32_t sampleSize = 3000, int replications = 8) {
  const Problem problem = support::toProblem(formula);
  std::vector<VariableProbabilities> laws;
  for (const double p : ps) laws.push_back(VariableProbabilities::uniform(p));
  Estimator estimator(problem, {.method = method, .seed = 5, .spectrum = true, .laws = laws});
  RunPool pool(problem, {false, laws});
  for (int r = 0; r < replications; ++r) pool.add(estimator.estimateModelCount(sampleSize));
  return pool.result().probabilities;
}

TEST(Probability, AgreesWithEnumeration) {
  // 24 replications: the pooled standard error of 8 leaves Student's t with 7 degrees of
  // freedom, beyond 4 about once in 200 checks, and this test makes 20.
  const std::vector<double> ps = {0.05, 0.3, 0.5, 0.8, 0.99};
  for (const Formula& formula : {support::gridVertexCover(4, 3), support::randomMixedCnf(14, 30, 3, 4)}) {
    const std::vector<std::uint64_t> covers = support::coversBySize(formula);
    for (const Method method : {Method::crude, Method::split}) {
      // A split root is a whole descent, and up the failing side another: 100 of them suffice.
      const std::vector<ProbabilityEstimate> estimates = probabilitiesOf(formula, method, ps, method == Method::split ? 100 : 3000, 24);
      for (std::size_t i = 0; i < ps.size(); ++i) {
        double truth = 0.0;
        for (std::size_t k = 0; k < covers.size(); ++k) {
          truth += static_cast<double>(covers[k]) * std::pow(ps[i], k) * std::pow(1 - ps[i], covers.size() - 1 - k);
        }
        const PooledValue& value = estimates[i].probability;
        EXPECT_NEAR(value.mean.toDouble(), truth, 4 * value.standardError->toDouble() + 1e-12 * truth) << ps[i];
        const PooledValue& failure = estimates[i].failure;
        EXPECT_NEAR(failure.mean.toDouble(), 1 - truth, 4 * failure.standardError->toDouble() + 1e-12) << ps[i];
      }
    }
  }
}

TEST(Probability, EndsAreExact) {
  struct Case {
    Formula formula;
    double atZero, atOne;
  };
  const Case cases[] = {{{3, {{0, 1}, {2}}}, 0, 1}, {{3, {}}, 1, 1}, {{3, {{0}, {}}}, 0, 0}};
  for (const Case& c : cases) {
    for (const Method method : {Method::crude, Method::split}) {
      const std::vector<ProbabilityEstimate> ends = probabilitiesOf(c.formula, method, {0.0, 1.0}, 50, 3);
      EXPECT_TRUE(ends[0].exact && ends[1].exact);
      EXPECT_EQ(ends[0].probability.mean.toDouble(), c.atZero);
      EXPECT_EQ(ends[1].probability.mean.toDouble(), c.atOne);
      EXPECT_EQ(*ends[1].probability.relativeError, 0.0);
    }
  }
}

TEST(Probability, TermsStayInRangeForThousandsOfVariables) {
  // 2000 variables: without clauses the terms are the binomial distribution and add up to 1;
  // for 1000 pairs (x y) with N(1000 + j) = C(1000, j) 2^(1000 - j) the probability is
  // (2p - p^2)^1000, 10^-721 at p = 0.1. Most terms lie far below the double's range.
  const std::vector<WideReal> binomials = wideBinomialRow(2000);
  std::vector<WideReal> pairs(2001);
  const std::vector<WideReal> choose = wideBinomialRow(1000);
  for (std::int64_t j = 0; j <= 1000; ++j) pairs[static_cast<std::size_t>(1000 + j)] = choose[static_cast<std::size_t>(j)] * WideReal::powerOfTwo(1000 - j);
  for (const double p : {1e-6, 0.1, 0.5, 0.999}) {
    WideReal all;
    WideReal covered;
    for (const WideReal& term : probabilityTerms(binomials, VariableProbabilities::uniform(p))) all += term;
    for (const WideReal& term : probabilityTerms(pairs, VariableProbabilities::uniform(p))) covered += term;
    EXPECT_NEAR(all.toDouble(), 1.0, 1e-12) << p;
    EXPECT_NEAR(static_cast<double>(covered.log10Abs()), 1000 * std::log10(2 * p - p * p), 1e-9) << p;
  }
  // And through a crude run on those pairs: every probability finite and positive.
  for (const ProbabilityEstimate& estimate : probabilitiesOf(support::matching(1000), Method::crude, {0.01, 0.5, 0.9}, 20, 2)) {
    EXPECT_TRUE(estimate.probability.mean.isFinite() && estimate.probability.mean > WideReal(0.0)) << estimate.law.uniformTruth();
    EXPECT_TRUE(std::isfinite(*estimate.probability.relativeError)) << estimate.law.uniformTruth();
  }
}

}  // namespace
}  // namespace monocount
