#include "estimation/splitting/splitting_estimator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "support/enumeration.hpp"
#include "support/formulas.hpp"

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

TEST(SplittingEstimator, EstimatesCountsAndSizesWithoutBias) {
  // Under the default settings and under settings that change the spread, never the
  // expectation (one particle, no walk; many walk steps): the count within four reported
  // standard errors of enumeration, and N(k) too wherever it carries a hundredth of the count.
  const DescentSettings settings[] = {{}, {.particles = 1, .walkSteps = 0}, {.particles = 5, .walkSteps = 7}};
  for (const DescentSettings& setting : settings) {
    for (const auto& [name, f] : smallFormulas()) {
      const Problem problem = toProblem(f);
      const std::vector<std::uint64_t> sizes = support::coversBySize(f);
      const double truth = static_cast<double>(support::enumeratedCount(f));
      SplittingEstimator estimator(problem, 17, setting);
      estimator.recordSizes(true);
      const Replication row = replicate(estimator, 1500);
      const double estimate = row.estimate.toDouble();
      const std::string where = name + ", " + std::to_string(setting.particles) + " particles";
      EXPECT_LT(row.relativeError, 0.05) << where;
      EXPECT_NEAR(estimate, truth, 4 * row.relativeError * estimate + 1e-9 * truth) << where << ": truth " << truth;
      ASSERT_EQ(row.sizeEstimates.size(), sizes.size()) << where;
      for (std::size_t k = 0; k < sizes.size(); ++k) {
        const double count = static_cast<double>(sizes[k]);
        if (count == 0.0) {
          EXPECT_TRUE(row.sizeEstimates[k].isZero()) << where << ", k " << k;
        }
        if (count < 0.01 * truth) continue;
        EXPECT_NEAR(row.sizeEstimates[k].toDouble(), count, 0.1 * count) << where << ", k " << k;
      }
    }
  }
}

TEST(SplittingEstimator, EstimatesBothSidesUnderEitherLaw) {
  // The estimate and its complement, each within four of its own reported REs of enumeration
  // (exact for formulas known without sampling); the satisfying roots' digits are those of a run
  // without the failing side.
  std::vector<double> truth;
  for (int v = 0; v < 16; ++v) truth.push_back(v % 3 == 0 ? 0.999 : 0.3 + 0.04 * v);
  std::vector<double> falsity;
  for (const double t : truth) falsity.push_back(1.0 - t);
  const VariableProbabilities law = VariableProbabilities::perVariable(truth, falsity);
  const VariableProbabilities counts = VariableProbabilities::uniform(0.5);
  struct Case {
    std::string name;
    Formula formula;
    const VariableProbabilities* law;
  };
  const Case cases[] = {
      {"4 x 4 grid, counts", support::gridVertexCover(4, 4), &counts},
      {"random clauses of 1..4 variables, a chance per variable", support::randomMixedCnf(14, 30, 4, 8), &law},
      {"matching of 8 pairs, a chance per variable", support::matching(8), &law},
  };
  for (const Case& c : cases) {
    const Problem problem = toProblem(c.formula);
    const std::vector<double> holds = support::enumeratedChances(c.formula, *c.law, true);
    const std::vector<double> fails = support::enumeratedChances(c.formula, *c.law, false);
    const double scale = c.law->isUniform() ? std::ldexp(1.0, c.formula.variables) : 1.0;
    const double exact[] = {std::accumulate(holds.begin(), holds.end(), 0.0) * scale,
                            std::accumulate(fails.begin(), fails.end(), 0.0) * scale};
    SplittingEstimator both(problem, 5);
    both.target({.failing = true, .law = *c.law, .probabilities = {}, .complementOfCount = true});
    SplittingEstimator alone(problem, 5);
    alone.target({.failing = false, .law = *c.law, .probabilities = {}});
    const Replication row = replicate(both, 400);
    // The counts' complement as Replication::complement, a law's as its one LawAnswer.
    const LawAnswer answer = c.law->isUniform()
                                 ? LawAnswer{row.estimate, row.complement, row.relativeError, row.complementRelativeError}
                                 : row.laws.at(0);
    const std::pair<WideReal, double> sides[] = {{answer.holds, answer.holdsRelativeError},
                                                 {answer.fails, answer.failsRelativeError}};
    for (int side = 0; side < 2; ++side) {
      const double estimate = sides[side].first.toDouble();
      EXPECT_NEAR(estimate, exact[side], 4 * sides[side].second * estimate) << c.name << ", side " << side;
    }
    EXPECT_EQ(replicate(alone, 400).estimate, row.estimate) << c.name;
  }
}

TEST(SplittingEstimator, ReachesTheMinimumCover) {
  const Problem problem = toProblem(support::matching(8));
  SplittingEstimator estimator(problem, 3);
  replicate(estimator, 200);
  EXPECT_EQ(estimator.smallestSize(), 8);
}

TEST(SplittingEstimator, WarnsWhenAFewRootsCarryTheEstimate) {
  struct Case {
    std::int64_t roots;
    double effective;
    double largestShare;
    const char* expected;  // nullptr: silent
  };
  const Case cases[] = {
      {2000, 2.6, 0.61, "the estimate rests on 3 of 2000 samples (one of them carries 61 % of the sum), so its RE "
                        "cannot be trusted; increase --N"},
      {2000, 25.0, 0.1, "the estimate rests on 25 of 2000 samples (one of them carries 10 % of the sum), so its RE "
                        "cannot be trusted; increase --N"},
      {10, 1.9, 0.7, "the estimate rests on 2 of 10 samples (one of them carries 70 % of the sum), so its RE "
                     "cannot be trusted; increase --N"},
      {2000, 333.0, 0.01, nullptr},  // a heavy spread, but the RE says so
      {10, 8.0, 0.2, nullptr},
      {100, 12.0, 0.3, nullptr},     // few effective roots, but not few for N
      {1, 1.0, 1.0, nullptr},        // one root: nothing to compare
  };
  for (const Case& c : cases) {
    const std::optional<std::string> warning = SplittingEstimator::fewRootsWarning(c.roots, c.effective, c.largestShare);
    if (c.expected == nullptr) {
      EXPECT_FALSE(warning) << *warning;
    } else {
      EXPECT_EQ(warning.value_or("silent"), c.expected);
    }
  }
  // Once per run, and silent on a formula the descent handles well.
  const Problem grid = toProblem(support::gridVertexCover(6, 6));
  SplittingEstimator good(grid, 1);
  for (int replication = 0; replication < 3; ++replication) EXPECT_TRUE(replicate(good, 200).warnings.empty());
  // One particle without a walk on the 24 x 24 grid: a few roots carry each row.
  const Problem wide = toProblem(support::gridVertexCover(24, 24));
  SplittingEstimator poor(wide, 1, {.particles = 1, .walkSteps = 0});
  EXPECT_EQ(replicate(poor, 200).warnings.size(), 1u);
  EXPECT_TRUE(replicate(poor, 200).warnings.empty());
}

// The failing side under chances per variable is doubted where their odds are too uneven for
// its uniform step back, and only there.
TEST(SplittingEstimator, DoubtsTheComplementUnderUnevenChances) {
  const auto law = [](std::vector<double> truth) {
    std::vector<double> falsity;
    for (const double t : truth) falsity.push_back(1.0 - t);
    return VariableProbabilities::perVariable(std::move(truth), std::move(falsity));
  };
  EXPECT_FALSE(SplittingEstimator::unevenLawWarning(VariableProbabilities::uniform(1e-9), 3));
  EXPECT_FALSE(SplittingEstimator::unevenLawWarning(law({0.9999, 0.99, 0.5}), 3));  // odds within 1e4
  EXPECT_TRUE(SplittingEstimator::unevenLawWarning(law({0.9, 0.75, 1e-9}), 3));     // the weighted fixture's
}

TEST(SplittingEstimator, SameSeedSameRowsOnAnyNumberOfThreads) {
  // Roots on 1, 2 and 5 threads, N(k) too; several blocks of roots per replication.
  for (const Formula& formula : {support::gridVertexCover(6, 6), support::randomMixedCnf(16, 30, 4, 8)}) {
    const Problem problem = toProblem(formula);
    SplittingEstimator first(problem, 42);
    SplittingEstimator two(problem, 42, {}, Parallelism{.threads = 2});
    SplittingEstimator five(problem, 42, {}, Parallelism{.threads = 5});
    SplittingEstimator other(problem, 43);
    for (SplittingEstimator* estimator : {&first, &two, &five}) {
      estimator->recordSizes(true);
      estimator->target({.failing = true, .law = VariableProbabilities::uniform(0.5), .probabilities = {0.3}});
    }
    for (int replication = 0; replication < 2; ++replication) {
      const Replication a = replicate(first, 150);
      for (SplittingEstimator* estimator : {&two, &five}) {
        const Replication b = replicate(*estimator, 150);
        EXPECT_EQ(a.estimate, b.estimate) << formula.variables;
        EXPECT_EQ(a.relativeError, b.relativeError) << formula.variables;
        EXPECT_EQ(a.sizeEstimates, b.sizeEstimates) << formula.variables;
        EXPECT_EQ(a.failingSizeEstimates, b.failingSizeEstimates) << formula.variables;
      }
      EXPECT_FALSE(replicate(other, 150).estimate == a.estimate);
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

TEST(SplittingEstimator, ReportsProgressUpToTheLastRootAndWithinALongOne) {
  // Growing reports up to N, on many small roots, and on one root of 400 variables (and two, on
  // two threads), whose way down shows before it ends.
  struct Case {
    std::int32_t side, roots, threads;
  };
  for (const Case c : {Case{4, 1000, 1}, Case{20, 1, 1}, Case{20, 2, 2}}) {
    const Problem problem = toProblem(support::gridVertexCover(c.side, c.side));
    SplittingEstimator estimator(problem, 1, {}, Parallelism{.threads = c.threads});
    std::vector<double> reports;
    estimator.onProgress = [&](double roots) { reports.push_back(roots); };
    replicate(estimator, c.roots);
    ASSERT_GT(reports.size(), c.roots == 1 ? 2u : 1u) << c.side;
    EXPECT_EQ(reports.back(), c.roots) << c.side;
    EXPECT_LT(reports.front(), c.roots == 1 ? 0.5 : c.roots) << c.side;
    for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]) << c.side;
  }
}

}  // namespace
}  // namespace monocount
