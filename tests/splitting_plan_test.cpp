#include "estimation/splitting/splitting_plan.hpp"

#include <gtest/gtest.h>

#include <string>

#include "estimation/numerics/wide_binomials.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Clauses;

Clauses matching(std::int32_t pairs) { return support::matching(pairs).clauses; }
Clauses grid(std::int32_t side) { return support::gridVertexCover(side, side).clauses; }

SplittingPlan planFor(std::int32_t n, const Clauses& clauses, SplittingSettings settings = {}, std::uint32_t seed = 1,
                      std::int32_t threads = 1) {
  const Problem problem = support::toProblem({n, clauses});
  const OccurrenceTable table(problem);
  return planLevels(table, wideBinomialRow(n), settings, seed, threads);
}

TEST(ProposalBatch, ScalesWithThePrefixAndIsNeverEmptyBelowTheWholeOrder) {
  struct Case {
    std::int32_t prefix, variables;
    double perVariable;
    std::int64_t expected;
  };
  const Case cases[] = {
      {100, 100, 0.5, 0},  // the whole order: no suffix to exchange with
      {10, 100, 0.02, 1},  // 0.2 rounds to 0, raised to 1
      {200, 256, 0.02, 4},
      {99, 100, 0.5, 50},  // 49.5 rounds up
  };
  for (const Case& c : cases) {
    EXPECT_EQ(proposalBatch(c.prefix, c.variables, c.perVariable), c.expected) << c.prefix << " of " << c.variables;
  }
}

TEST(PlanLevels, LevelsDecreaseFromTheVariableCountAndNeverPassTheMinimumCover) {
  struct Case {
    std::string name;
    std::int32_t variables;
    Clauses clauses;
    std::int32_t minimumCover;
  };
  const Case cases[] = {
      {"matching of 8 pairs", 16, matching(8), 8},
      {"4 x 4 grid", 16, grid(4), 8},
      {"6 x 6 grid", 36, grid(6), 18},
      {"unit clauses on x0..x2 of 12", 12, {{0}, {1}, {2}}, 3},
  };
  for (const Case& c : cases) {
    const SplittingPlan plan = planFor(c.variables, c.clauses);
    ASSERT_EQ(plan.levels.front(), c.variables) << c.name;
    ASSERT_EQ(plan.factors.size() + 1, plan.levels.size()) << c.name;
    for (std::size_t t = 1; t < plan.levels.size(); ++t) EXPECT_LT(plan.levels[t], plan.levels[t - 1]) << c.name;
    for (const double factor : plan.factors) EXPECT_GE(factor, 1.0) << c.name;
    EXPECT_GE(plan.levels.back(), c.minimumCover) << c.name;
  }
}

TEST(PlanLevels, GoesDownToTheMinimumCoverUnlessWhatLiesBelowIsNegligible) {
  // The 256 minimum covers of the matching carry 256 / 3^8 = 4 % of its count.
  EXPECT_EQ(planFor(16, matching(8)).levels.back(), 8);
  SplittingSettings coarse;
  coarse.negligibleShare = 0.5;
  EXPECT_GT(planFor(16, matching(8), coarse).levels.back(), 8);
}

TEST(PlanLevels, FormulasWhoseOrdersAllShareOneCoverLength) {
  // Every variable needed: no order has a shorter cover, so there is no level below n.
  Clauses units;
  for (std::int32_t v = 0; v < 6; ++v) units.push_back({v});
  const SplittingPlan allNeeded = planFor(6, units);
  EXPECT_EQ(allNeeded.levels, std::vector<std::int32_t>{6});
  EXPECT_TRUE(allNeeded.factors.empty());
  // One clause of every variable: L = 1 always, reached with certainty (factor 1).
  const SplittingPlan oneNeeded = planFor(6, {{0, 1, 2, 3, 4, 5}});
  EXPECT_EQ(oneNeeded.levels, (std::vector<std::int32_t>{6, 1}));
  EXPECT_EQ(oneNeeded.factors, std::vector<double>{1.0});
}

TEST(PlanLevels, SameSeedSamePlanOnAnyNumberOfThreads) {
  const Clauses clauses = grid(5);
  const SplittingPlan a = planFor(25, clauses, {}, 9);
  for (const std::int32_t threads : {1, 3}) {
    const SplittingPlan b = planFor(25, clauses, {}, 9, threads);
    EXPECT_EQ(a.levels, b.levels) << threads;
    EXPECT_EQ(a.factors, b.factors) << threads;
  }
}

}  // namespace
}  // namespace monocount
