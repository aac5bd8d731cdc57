#include "estimation/permutation_estimator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "support/formulas.hpp"

namespace monocount {
namespace {

using Clauses = std::vector<std::vector<std::int32_t>>;  // 0-based variable indices

Problem makeProblem(std::int32_t variables, const Clauses& clauses) {
  return testdata::toProblem({variables, clauses});
}

struct Row {
  WideReal estimate;
  double relativeError;
};

Row replicate(const Problem& problem, std::int32_t sampleSize, std::uint32_t seed = 7) {
  RandomSource source(seed);
  PermutationEstimator estimator(problem, source);
  Row row{};
  row.estimate = estimator.estimateModelCount(sampleSize, row.relativeError);
  return row;
}

TEST(PermutationEstimator, FormulasWhoseOrdersAllScoreAlikeGiveExactCounts) {
  struct Case {
    const char* name;
    std::int32_t variables;
    Clauses clauses;
    double count;
  };
  const Case cases[] = {
      {"one clause holding both variables", 2, {{0, 1}}, 3.0},
      {"the clauses (x1) and (x2)", 2, {{0}, {1}}, 1.0},
      {"one variable", 1, {{0}}, 1.0},
      {"a unit clause per variable", 40, [] { Clauses c; for (int v = 0; v < 40; ++v) c.push_back({v}); return c; }(), 1.0},
      {"no clauses: every assignment", 3, {}, 8.0},
      {"no clauses, 60 variables: exactly 2^60", 60, {}, std::ldexp(1.0, 60)},
      {"an empty clause: no assignment", 3, {{0, 1}, {}}, 0.0},
  };
  for (const Case& c : cases) {
    const Problem problem = makeProblem(c.variables, c.clauses);
    for (const std::int32_t sampleSize : {1, 1000}) {
      const Row row = replicate(problem, sampleSize);
      EXPECT_EQ(row.estimate.toDouble(), c.count) << c.name;
      EXPECT_EQ(row.relativeError, 0.0) << c.name;
    }
  }
}

TEST(PermutationEstimator, NoSamplesGiveNaN) {
  for (const Clauses& clauses : {Clauses{{0}}, Clauses{}, Clauses{{}}}) {
    const Problem problem = makeProblem(2, clauses);
    for (const std::int32_t sampleSize : {0, -5}) {
      const Row row = replicate(problem, sampleSize);
      EXPECT_TRUE(row.estimate.isNaN());
      EXPECT_TRUE(std::isnan(row.relativeError));
    }
  }
}

TEST(PermutationEstimator, SingleUnitClauseScoresByTheFirstVariable) {
  // (x1) over two variables: an order starting with x1 scores 3, the other 1; the count is 2.
  const Problem problem = makeProblem(2, {{0}});
  const Row row = replicate(problem, 100000);
  const double estimate = row.estimate.toDouble();
  const double fraction = (estimate - 1.0) / 2.0;  // share of orders starting with x1
  EXPECT_EQ(std::fmod(estimate * 100000.0, 1.0), 0.0);
  EXPECT_NEAR(fraction, 0.5, 0.01);
  EXPECT_NEAR(estimate, 2.0, 5 * row.relativeError * estimate);
}

TEST(PermutationEstimator, ReplicationsContinueOneSequence) {
  // Two replications from one source differ; a fresh source repeats the first.
  const Problem problem = testdata::toProblem(testdata::randomMonotoneCnf(12, 20, 3, 5));
  RandomSource source(99);
  PermutationEstimator estimator(problem, source);
  double first = 0.0;
  double second = 0.0;
  const WideReal a = estimator.estimateModelCount(500, first);
  const WideReal b = estimator.estimateModelCount(500, second);
  EXPECT_FALSE(a == b);
  const Row again = replicate(problem, 500, 99);
  EXPECT_EQ(again.estimate, a);
  EXPECT_EQ(again.relativeError, first);
}

TEST(PermutationEstimator, CountsBeyondTheDoubleRangeStayFinite) {
  // Every order of one clause holding all 1500 variables covers at once: 2^1500 - 1 exactly
  // where the classic table holds +inf.
  Clauses all(1);
  for (int v = 0; v < 1500; ++v) all[0].push_back(v);
  const Row row = replicate(makeProblem(1500, all), 50);
  std::ostringstream printed;
  printed << row.estimate;
  EXPECT_EQ(printed.str(), "3.50747e+451");
  EXPECT_EQ(row.relativeError, 0.0);
}

TEST(PermutationEstimator, LargeGridGivesFinitePositiveEstimatesAndErrors) {
  // The 60 x 60 grid: scores reach 1e900, and their squares far more.
  const Problem problem = testdata::toProblem(testdata::gridVertexCover(60, 60));
  RandomSource source(3);
  PermutationEstimator estimator(problem, source);
  for (int replication = 0; replication < 2; ++replication) {
    double relativeError = 0.0;
    const WideReal estimate = estimator.estimateModelCount(200, relativeError);
    EXPECT_TRUE(estimate.isFinite());
    EXPECT_GT(estimate, WideReal(1.0));
    EXPECT_TRUE(std::isfinite(relativeError));
    EXPECT_GT(relativeError, 0.0);
    EXPECT_LT(relativeError, 1.0);
  }
}

}  // namespace
}  // namespace monocount
