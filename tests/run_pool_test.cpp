#include "estimation/pooled/run_pool.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "estimation/estimator.hpp"
#include "estimation/numerics/wide_binomials.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(RunPool, DoubtsAndTheirWarnings) {
  // The 6 x 6 grid: both methods get the count right; at p = 0.1 the probability is carried by
  // the smallest covers, which crude does not reach (it falls short by orders of magnitude) and
  // split reaches: its 2 covers of 18 could not hold the 19 supersets of a smaller one.
  const Problem problem = support::toProblem(support::gridVertexCover(6, 6));
  struct Case {
    Method method;
    Doubt atTenth;
    const char* warning;  // nullptr: none
  };
  const Case cases[] = {
      {Method::crude, Doubt::likelyTooLow, "the probability at p = 0.1 is likely far too low"},
      {Method::split, Doubt::none, nullptr},
  };
  for (const Case& c : cases) {
    Estimator estimator(problem, {.method = c.method, .seed = 1, .spectrum = true});
    RunPool pool(problem, {false,
                           {VariableProbabilities::uniform(0.1), VariableProbabilities::uniform(0.9),
                            VariableProbabilities::uniform(1.0)}});
    RunningWideMean mean;
    for (int r = 0; r < 5; ++r) {
      const Replication replication = estimator.estimateModelCount(c.method == Method::crude ? 10000 : 300);
      mean.add(replication.estimate);
      pool.add(replication);
    }
    const PooledRun run = pool.result();
    EXPECT_EQ(run.count.mean, mean.value());  // the table's Average, to the last bit
    EXPECT_EQ(run.countDoubt, Doubt::none);
    EXPECT_TRUE(run.spectrum.empty());
    EXPECT_EQ(run.probabilityDoubts, (std::vector<Doubt>{c.atTenth, Doubt::none, Doubt::none}));
    ASSERT_EQ(run.warnings.size(), c.warning != nullptr ? 1u : 0u);
    if (c.warning != nullptr) {
      EXPECT_EQ(run.warnings[0].rfind(c.warning, 0), 0u) << run.warnings[0];
    }
  }
}

TEST(RunPool, SplitDoubtsOnlyWhatItCouldNotRule) {
  // Per-size estimates of 20 variables, smallest size reached 10, the terms at p = 0.1 peaking
  // there; two replications 2 % apart. 2 sets of 10 cannot hold the 11 supersets of a set of
  // 9; 10^4 sets, drawn with an RE of 2 %, could hide them.
  const Problem problem = support::toProblem(support::gridVertexCover(5, 4));
  const std::vector<WideReal> binomials = wideBinomialRow(20);
  struct Case {
    double atTen, atEleven;
    Doubt expected;
  };
  const Case cases[] = {{2.0, 40.0, Doubt::none}, {1e4, 1e5, Doubt::mayBeTooLow}};
  for (const Case& c : cases) {
    RunPool pool(problem, {false, {VariableProbabilities::uniform(0.1)}});
    for (const double spread : {0.98, 1.02}) {
      Replication replication;
      replication.sizeEstimates.assign(21, WideReal(0.0));
      replication.sizeEstimates[10] = WideReal(c.atTen * spread);
      replication.sizeEstimates[11] = WideReal(c.atEleven * spread);
      std::copy(binomials.begin() + 12, binomials.end(), replication.sizeEstimates.begin() + 12);
      for (const WideReal& size : replication.sizeEstimates) replication.estimate += size;
      pool.add(replication);
    }
    EXPECT_EQ(pool.result().probabilityDoubts, std::vector<Doubt>{c.expected}) << c.atTen;
  }
}

}  // namespace
}  // namespace monocount
