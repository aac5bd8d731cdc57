#include "estimation/pooled/run_pool.hpp"

#include <gtest/gtest.h>

#include "estimation/estimator.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(RunPool, DoubtsAndTheirWarnings) {
  // The 6 x 6 grid: both methods get the count right; at p = 0.1 the probability is carried by
  // the smallest covers, which crude does not reach (it falls short by orders of magnitude) and
  // split reaches without knowing that there are none smaller.
  const Problem problem = support::toProblem(support::gridVertexCover(6, 6));
  struct Case {
    Method method;
    Doubt atTenth;
    const char* warning;
  };
  const Case cases[] = {
      {Method::crude, Doubt::likelyTooLow, "the probability at p = 0.1 is likely far too low"},
      {Method::split, Doubt::mayBeTooLow, "the probability at p = 0.1 may be too low"},
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
    ASSERT_EQ(run.warnings.size(), 1u);
    EXPECT_EQ(run.warnings[0].rfind(c.warning, 0), 0u) << run.warnings[0];
  }
}

}  // namespace
}  // namespace monocount
