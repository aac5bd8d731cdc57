#include "estimation/pooled/reach_check.hpp"

#include <gtest/gtest.h>

#include <string>

#include "estimation/estimator.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(ReachCheck, FiresWhereCrudeFallsShortAndOnlyThere) {
  struct Case {
    const char* name;
    support::Formula formula;
    std::int32_t sampleSize;
    bool fires;
  };
  const Case cases[] = {
      {"12 x 12 grid (crude 69 % low)", support::gridVertexCover(12, 12), 10000, true},
      {"10 x 10 grid (crude 26 % low)", support::gridVertexCover(10, 10), 10000, true},
      {"6 x 6 grid", support::gridVertexCover(6, 6), 10000, false},
      {"random 3-CNF, 40 variables, 400 clauses", support::randomDistinct3Cnf(40, 400, 1), 10000, false},
      {"random 3-CNF, 50 variables, 250 clauses", support::randomDistinct3Cnf(50, 250, 1), 10000, false},
      // 10^4 samples in all: the terms peak two sizes above the shortest length sampled, and
      // what lies below is a few percent of the count, within the RE.
      {"random 3-CNF 40/400, 10 x 1000 samples", support::randomDistinct3Cnf(40, 400, 1), 1000, false},
      // The minimum cover (8) is sampled often; the terms peak at 10 and 11, two sizes above it.
      {"matching of 8 pairs", support::matching(8), 10000, false},
      // Every order covers at its first variable: there is no shorter length to miss.
      {"one clause of two variables", {2, {{0, 1}}}, 10, false},
  };
  for (const Case& c : cases) {
    const Problem problem = support::toProblem(c.formula);
    Estimator estimator(problem, {.method = Method::crude, .seed = 1});
    CoverLengthCounts pooled;
    for (int r = 0; r < 10; ++r) pooled.add(estimator.estimateModelCount(c.sampleSize).coverLengths);
    EXPECT_EQ(restsOnUnreachedLengths(pooled, problem.variableCount), c.fires) << c.name;
  }
  EXPECT_FALSE(restsOnUnreachedLengths({}, 4));
}

TEST(ReachCheck, WeighsTheTermsOfAProbability) {
  // On the 6 x 6 grid the count peaks well above the shortest sampled length, but the
  // probability at p = 0.3 is carried by the smallest covers, which crude does not reach.
  const Problem problem = support::toProblem(support::gridVertexCover(6, 6));
  Estimator estimator(problem, {.method = Method::crude, .seed = 1});
  CoverLengthCounts pooled;
  for (int r = 0; r < 10; ++r) pooled.add(estimator.estimateModelCount(10000).coverLengths);
  const VariableProbabilities atThree = VariableProbabilities::uniform(0.3);
  const VariableProbabilities atNine = VariableProbabilities::uniform(0.9);
  const VariableProbabilities atZero = VariableProbabilities::uniform(0.0);
  EXPECT_TRUE(restsOnUnreachedLengths(pooled, 36, &atThree));
  EXPECT_FALSE(restsOnUnreachedLengths(pooled, 36, &atNine));
  EXPECT_FALSE(restsOnUnreachedLengths(pooled, 36, &atZero));
}

}  // namespace
}  // namespace monocount
