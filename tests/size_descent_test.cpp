#include "estimation/splitting/size_descent.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "estimation/numerics/wide_binomials.hpp"
#include "support/enumeration.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(DescentSettings, ChosenFromTheNumberOfVariables) {
  struct Row {
    std::int32_t variables, particles, walkSteps;
  };
  for (const Row row : {Row{256, 32, 16}, Row{961, 8, 64}, Row{3600, 8, 128}, Row{10000, 8, 256}, Row{100000, 8, 256}}) {
    const DescentSettings chosen = DescentSettings::forVariables(row.variables);
    EXPECT_EQ(std::pair(chosen.particles, chosen.walkSteps), std::pair(row.particles, row.walkSteps)) << row.variables;
  }
}

TEST(SizeDescent, RootsStayWithinTheirBoundsAndRepeatOnTheSameStream) {
  // N^(n) = 1, 0 <= N^(k) <= C(n, k), nothing below the smallest size reached, and the root's
  // estimate their sum; the same stream gives the same root.
  const support::Formula f = support::gridVertexCover(5, 4);
  const Problem problem = support::toProblem(f);
  const OccurrenceTable table(problem);
  const std::vector<WideReal> binomials = wideBinomialRow(f.variables);
  SizeDescent descent(problem, table, {});
  SplitEngine engine(3);
  SplitEngine again(3);
  for (int root = 0; root < 50; ++root) {
    std::vector<WideReal> sizes(static_cast<std::size_t>(f.variables) + 1);
    const WideReal estimate = descent.run(engine, sizes);
    EXPECT_EQ(descent.run(again), estimate);
    EXPECT_EQ(sizes.back(), WideReal(1.0));
    WideReal sum;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      EXPECT_FALSE(sizes[k].isNegative());
      EXPECT_LE(sizes[k], binomials[k] * WideReal(1.0 + 1e-12)) << k;
      if (static_cast<std::int32_t>(k) < descent.smallestSize()) {
        EXPECT_TRUE(sizes[k].isZero()) << k;
      }
      sum += sizes[k];
    }
    EXPECT_NEAR((sum / estimate).toDouble(), 1.0, 1e-12);
    EXPECT_GE(descent.smallestSize(), 10);  // the minimum vertex cover of the 5 x 4 grid
  }
}


TEST(SizeDescent, BothSidesUnderEitherLawAreUnbiased) {
  // The mean of many roots, times the law's base, against enumeration: the chance of each side
  // and its terms by number of true variables, within 4.5 standard errors of the roots' spread
  // (the counts themselves under the uniform law at 1/2, scaled by 2^-n). Settings that change
  // only the spread: one particle without a walk, a few of them with walks.
  std::vector<double> truth(14);
  std::vector<double> falsity(14);
  for (std::size_t v = 0; v < truth.size(); ++v) {
    falsity[v] = std::pow(10.0, -0.25 * static_cast<double>(v % 7) - 0.3);  // 1e-1.8 .. 1e-0.3
    truth[v] = 1.0 - falsity[v];
  }
  const VariableProbabilities skewed = VariableProbabilities::perVariable(truth, falsity);
  // Odds of 1e-4 among odds of 1: once those few are gone, the tilted removal's tries are
  // nearly all refused.
  std::vector<double> rare(falsity.size(), 0.5);
  for (std::size_t v = 0; v < rare.size(); v += 7) rare[v] = 1.0 - 1e-4;
  std::vector<double> common(rare.size());
  for (std::size_t v = 0; v < rare.size(); ++v) common[v] = 1.0 - rare[v];
  const VariableProbabilities wide = VariableProbabilities::perVariable(common, rare);
  const VariableProbabilities half = VariableProbabilities::uniform(0.5);
  struct Case {
    std::string name;
    support::Formula formula;
    DescentSide side;
    const VariableProbabilities* law;
    DescentSettings settings;
    bool ascend = false;
  };
  const DescentSettings few{.particles = 6, .walkSteps = 3};
  const DescentSettings lone{.particles = 1, .walkSteps = 0};
  // The walk stops (and one particle goes on alone) once a size carries under 5 % of the sum.
  const DescentSettings stopping{.particles = 6, .walkSteps = 3, .negligible = 0.05};
  // The removal drawn by rejection from the whole set on, not exactly near it.
  const DescentSettings rejecting{.particles = 6, .walkSteps = 3, .exactRemoval = 0.0};
  const Case cases[] = {
      {"4 x 3 grid, failing, counts", support::gridVertexCover(4, 3), DescentSide::failing, &half, few},
      {"random 1..4-CNF, failing, counts, lone", support::randomMixedCnf(12, 20, 4, 8), DescentSide::failing, &half, lone},
      {"4 x 3 grid, satisfying, odds", support::gridVertexCover(4, 3), DescentSide::satisfying, &skewed, few},
      {"4 x 3 grid, failing, odds", support::gridVertexCover(4, 3), DescentSide::failing, &skewed, few},
      {"4 x 3 grid, satisfying, wide odds", support::gridVertexCover(4, 3), DescentSide::satisfying, &wide, rejecting},
      {"random 1..4-CNF, satisfying, odds, lone", support::randomMixedCnf(12, 20, 4, 8), DescentSide::satisfying, &skewed, lone},
      {"random 1..4-CNF, failing, odds, lone", support::randomMixedCnf(12, 20, 4, 8), DescentSide::failing, &skewed, lone},
      {"long overlapping clauses, failing, odds", support::randomMonotoneCnf(13, 40, 6, 5), DescentSide::failing, &skewed, few},
      {"matching of 6 pairs, failing, odds", support::matching(6), DescentSide::failing, &skewed, few},
      {"4 x 3 grid, failing up, counts", support::gridVertexCover(4, 3), DescentSide::failing, &half, few, true},
      {"4 x 3 grid, failing up, odds, lone", support::gridVertexCover(4, 3), DescentSide::failing, &skewed, lone, true},
      {"long overlapping clauses, failing up, odds", support::randomMonotoneCnf(13, 40, 6, 5), DescentSide::failing, &skewed, few, true},
      // Clauses inside others, one named twice, one repeating a variable: minimal clauses of
      // sizes 2 and 3 only.
      {"random 1..4-CNF, satisfying, odds, stopping", support::randomMixedCnf(12, 20, 4, 8), DescentSide::satisfying, &skewed, stopping},
      {"4 x 3 grid, failing up, odds, stopping", support::gridVertexCover(4, 3), DescentSide::failing, &skewed, stopping, true},
      {"nested clauses, failing up, odds", {8, {{0, 1}, {0, 1, 2}, {1, 0, 1}, {3, 4, 5}, {5, 6}, {2, 5, 7}, {6, 5, 4}}},
       DescentSide::failing, &skewed, few, true},
  };
  for (const Case& c : cases) {
    const support::Formula& f = c.formula;
    const Problem problem = support::toProblem(f);
    const OccurrenceTable table(problem);
    DescentTarget target{.side = c.side, .odds = oddsOf(*c.law, c.side, f.variables), .watched = {}, .watchOwn = true, .ascend = c.ascend, .minimal = nullptr};
    SizeDescent descent(problem, table, c.settings, target);
    const double base = c.law->isUniform() ? std::ldexp(1.0, -f.variables) : baseOf(*c.law, c.side, f.variables).toDouble();
    const std::vector<double> exact = support::enumeratedChances(f, *c.law, c.side == DescentSide::satisfying);
    SplitEngine engine(29);
    const int roots = 6000;
    // Per number of true variables, then the whole chance: the roots' mean and mean square.
    std::vector<double> mean(exact.size() + 1);
    std::vector<double> squares(mean.size());
    std::vector<WideReal> sizes(exact.size());
    for (int root = 0; root < roots; ++root) {
      std::fill(sizes.begin(), sizes.end(), WideReal());
      const double estimate = descent.run(engine, sizes).toDouble() * base;
      for (std::size_t k = 0; k < mean.size(); ++k) {
        const double value = k < exact.size() ? sizes[k].toDouble() * base : estimate;
        mean[k] += value / roots;
        squares[k] += value * value / roots;
      }
    }
    double total = 0.0;
    for (const double chance : exact) total += chance;
    for (std::size_t k = 0; k < mean.size(); ++k) {
      const double expected = k < exact.size() ? exact[k] : total;
      const double error = std::sqrt(std::max(0.0, squares[k] - mean[k] * mean[k]) / roots);
      if (expected < 0.01 * total) continue;
      EXPECT_NEAR(mean[k], expected, 4.5 * error + 1e-12 * total) << c.name << ", " << k << " of " << exact.size() - 1;
    }
  }
}

TEST(SizeDescent, WalksAsFarAsTheWatchedChancesNeed) {
  // With negligible = 1e-3 on the 10 x 8 grid, the root walks until the sizes left carry too
  // little of every quantity it watches: a small p on the satisfying side lies far below the
  // count, a p near 1 above it; on the failing ascent (its own sum unwatched) a p near 1 lies at
  // the smallest failing sets, a small p near the whole set.
  const support::Formula f = support::gridVertexCover(10, 8);
  const Problem problem = support::toProblem(f);
  const OccurrenceTable table(problem);
  struct Case {
    DescentSide side;
    std::vector<double> probabilities;
    bool watchOwn;
    bool ascend;
    std::int32_t least, most;  // sizes walked, over 20 roots
  };
  const Case cases[] = {
      {DescentSide::satisfying, {}, true, false, 20, 30},       // the count: down to about 53 of 80
      {DescentSide::satisfying, {0.05}, true, false, 31, 40},   // towards the minimum cover, 40
      {DescentSide::satisfying, {0.999}, false, false, 1, 4},   // only the top sizes
      {DescentSide::failing, {0.999}, false, true, 1, 4},       // only the smallest failing sets
      {DescentSide::failing, {0.05}, false, true, 70, 78},      // up to the whole set
  };
  for (const Case& c : cases) {
    DescentTarget target{.side = c.side, .odds = {}, .watched = watchedOdds(c.probabilities, c.side),
                         .watchOwn = c.watchOwn, .ascend = c.ascend, .minimal = nullptr};
    SizeDescent descent(problem, table, {.particles = 8, .walkSteps = 2, .negligible = 1e-3}, target);
    SplitEngine engine(4);
    std::int32_t least = f.variables;
    std::int32_t most = 0;
    for (int root = 0; root < 20; ++root) {
      descent.run(engine);
      least = std::min(least, descent.walkedSizes());
      most = std::max(most, descent.walkedSizes());
    }
    EXPECT_GE(least, c.least) << static_cast<int>(c.side) << ", " << c.probabilities.size();
    EXPECT_LE(most, c.most) << static_cast<int>(c.side) << ", " << c.probabilities.size();
  }
}

}  // namespace
}  // namespace monocount
