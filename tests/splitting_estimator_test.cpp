#include "estimation/splitting/splitting_estimator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "estimation/numerics/wide_binomials.hpp"
#include "support/enumeration.hpp"
#include "support/formulas.hpp"
#include "support/reference_estimator.hpp"

namespace monocount {
namespace {

using support::Clauses;
using support::Formula;
using support::toProblem;

Replication replicate(SplittingEstimator& estimator, std::int32_t sampleSize) {
  return estimator.estimateModelCount(sampleSize);
}

struct Named {
  std::string name;
  Formula formula;
};

// Small formulas with tiny satisfying fractions for their size, or covers far below n.
std::vector<Named> smallFormulas() {
  return {
      {"random 3-CNF, 14 variables, 40 clauses", support::randomMixedCnf(14, 40, 3, 21)},
      {"random clauses of 1..4 variables", support::randomMixedCnf(16, 30, 4, 8)},
      {"matching of 8 pairs (minimum cover 8)", support::matching(8)},
      {"4 x 4 grid (minimum cover 8)", support::gridVertexCover(4, 4)},
      {"3 x 6 grid", support::gridVertexCover(6, 3)},
  };
}

TEST(SplittingEstimator, EstimatesSmallCountsWithoutBias) {
  // Each estimate within four reported standard errors of the count by enumeration, and the
  // standard errors small enough for that to mean something.
  for (const auto& [name, f] : smallFormulas()) {
    const Problem problem = toProblem(f);
    const double truth = static_cast<double>(support::enumeratedCount(f));
    SplittingEstimator estimator(problem, 17);
    const Replication row = replicate(estimator, 4000);
    const double estimate = row.estimate.toDouble();
    EXPECT_LT(row.relativeError, 0.05) << name;
    EXPECT_NEAR(estimate, truth, 4 * row.relativeError * estimate) << name << ": truth " << truth;
  }
}

TEST(SplittingEstimator, AnyFixedLevelsAndFactorsStayUnbiased) {
  // Every cover length from n down to the minimum cover as a level, with factors that match
  // no probability in particular: the family sizes change, the expectation must not.
  for (const auto& [name, f] : smallFormulas()) {
    const Problem problem = toProblem(f);
    const double truth = static_cast<double>(support::enumeratedCount(f));
    SplittingEstimator estimator(problem, 5);
    SplittingPlan plan;
    const std::int32_t lowest = estimator.plan().levels.back();
    const double factors[] = {1.0, 1.7, 2.5};
    for (std::int32_t level = f.variables; level >= lowest; --level) {
      plan.levels.push_back(level);
      if (level > lowest) plan.factors.push_back(factors[plan.factors.size() % 3]);
    }
    estimator.usePlan(plan);
    const Replication row = replicate(estimator, 3000);
    const double estimate = row.estimate.toDouble();
    EXPECT_NEAR(estimate, truth, 4 * row.relativeError * estimate) << name << ": truth " << truth;
  }
}

TEST(SplittingEstimator, MatchingPlanReachesTheMinimumCover) {
  const Problem problem = toProblem(support::matching(8));
  SplittingEstimator estimator(problem, 3);
  ASSERT_EQ(estimator.plan().levels.back(), 8);
  const Replication row = replicate(estimator, 2000);
  const auto& members = estimator.memberCounts();
  EXPECT_GT(members.back(), 0);  // roots do reach the minimum covers
  EXPECT_NEAR(row.estimate.toDouble(), 6561.0, 4 * row.relativeError * 6561.0);
}

TEST(SplittingEstimator, WithoutLevelsBelowNEachRootScoresItsClassicScore) {
  const Problem problem = toProblem(support::randomMixedCnf(20, 30, 3, 4));
  support::reference::PlainFormula plain(problem);
  const std::vector<WideReal> tails = wideBinomialTails(20);
  SplittingEstimator estimator(problem, 2);
  estimator.usePlan({{20}, {}});
  for (int root = 0; root < 500; ++root) {
    const WideReal score = estimator.scoreRoot();
    const std::int32_t length = plain.coverPosition(estimator.rootOrder()) + 1;
    ASSERT_EQ(score, tails[static_cast<std::size_t>(length)]) << "root " << root;
  }
}

TEST(SplittingEstimator, SameSeedSameRowsOnAnyNumberOfThreads) {
  // Pilot and roots on 1, 2 and 5 threads, N(k) too; several blocks of roots per replication.
  for (const Formula& formula : {support::gridVertexCover(6, 6), support::randomMixedCnf(16, 30, 4, 8)}) {
    const Problem problem = toProblem(formula);
    SplittingEstimator first(problem, 42);
    SplittingEstimator two(problem, 42, {}, Parallelism{.threads = 2});
    SplittingEstimator five(problem, 42, {}, Parallelism{.threads = 5});
    SplittingEstimator other(problem, 43);
    for (SplittingEstimator* estimator : {&first, &two, &five}) estimator->recordSizes(true);
    for (int replication = 0; replication < 2; ++replication) {
      const Replication a = replicate(first, 600);
      for (SplittingEstimator* estimator : {&two, &five}) {
        const Replication b = replicate(*estimator, 600);
        EXPECT_EQ(a.estimate, b.estimate) << formula.variables;
        EXPECT_EQ(a.relativeError, b.relativeError) << formula.variables;
        EXPECT_EQ(a.sizeEstimates, b.sizeEstimates) << formula.variables;
      }
      EXPECT_FALSE(replicate(other, 600).estimate == a.estimate);
    }
  }
}

TEST(SplittingEstimator, KnownCountsComeOutExactly) {
  struct Case {
    std::string name;
    std::int32_t variables;
    Clauses clauses;
    WideReal count;
  };
  Clauses units;
  for (std::int32_t v = 0; v < 40; ++v) units.push_back({v});
  const Case cases[] = {
      {"no clauses: every assignment", 3, {}, 8.0},
      {"no clauses, 2000 variables: exactly 2^2000", 2000, {}, WideReal::powerOfTwo(2000)},
      {"an empty clause: no assignment", 3, {{0, 1}, {}}, 0.0},
      {"a unit clause per variable: one assignment", 40, units, 1.0},
      {"one clause of all variables: all but the empty set", 5, {{0, 1, 2, 3, 4}}, 31.0},
      {"one variable", 1, {{0}}, 1.0},
  };
  for (const Case& c : cases) {
    const Problem problem = toProblem({c.variables, c.clauses});
    SplittingEstimator estimator(problem, 1);
    for (const std::int32_t sampleSize : {1, 500}) {
      const Replication row = replicate(estimator, sampleSize);
      EXPECT_EQ(row.estimate, c.count) << c.name;
      EXPECT_EQ(row.relativeError, 0.0) << c.name;
    }
  }
}

TEST(SplittingEstimator, NoRootsGiveNaN) {
  for (const Clauses& clauses : {Clauses{{0}}, Clauses{}, Clauses{{}}}) {
    const Problem problem = toProblem({2, clauses});
    SplittingEstimator estimator(problem, 1);
    for (const std::int32_t sampleSize : {0, -5}) {
      const Replication row = replicate(estimator, sampleSize);
      EXPECT_TRUE(row.estimate.isNaN());
      EXPECT_TRUE(std::isnan(row.relativeError));
    }
  }
}

TEST(SplittingEstimator, ReportsProgressUpToTheLastRoot) {
  const Problem problem = toProblem(support::gridVertexCover(4, 4));
  SplittingEstimator estimator(problem, 1);
  std::vector<std::int64_t> reports;
  estimator.onProgress = [&](std::int64_t roots) { reports.push_back(roots); };
  replicate(estimator, 3000);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), 3000);
  for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
}

TEST(SplittingEstimator, RefusesMalformedPlans) {
  const Problem problem = toProblem(support::matching(3));
  const SplittingPlan plans[] = {
      {{}, {}},               // no level
      {{5, 3}, {2.0}},        // not starting at n
      {{6, 3}, {}},           // a factor missing
      {{6, 3, 3}, {2.0, 2.0}},  // not decreasing
      {{6, 0}, {2.0}},        // below 1
      {{6, 3}, {0.5}},        // a factor below 1
  };
  for (const SplittingPlan& plan : plans) {
    SplittingEstimator estimator(problem, 1);
    EXPECT_THROW(estimator.usePlan(plan), std::invalid_argument);
  }
}

}  // namespace
}  // namespace monocount
