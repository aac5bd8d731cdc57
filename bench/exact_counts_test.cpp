// The exact counters, each against plain enumeration on small members and against an
// independent counter (the frontier DP or the exhaustive counter) on members beyond it.
#include "support/exact_counts.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <string>

#include "support/enumeration.hpp"
#include "support/formulas.hpp"

namespace monocount::support {
namespace {

TEST(ExactCounts, HypercubeDecompositionMatchesEnumeration) {
  for (int dimension = 0; dimension <= 4; ++dimension) {
    EXPECT_EQ(hypercubeCoverCount(dimension), Count(enumeratedCount(hypercubeVertexCover(dimension)))) << "Q" << dimension;
  }
  EXPECT_EQ(hypercubeCoverCount(5), MonotoneCounter().count(hypercubeVertexCover(5)));
}

TEST(ExactCounts, ExhaustiveCounterMatchesEnumeration) {
  struct Case {
    std::string name;
    Formula formula;
  };
  const Case cases[] = {
      {"random 3-CNF, 20 variables, 60 clauses", randomDistinct3Cnf(20, 60, 1)},
      {"random 3-CNF, 22 variables, 150 clauses", randomDistinct3Cnf(22, 150, 2)},
      {"sparse: free variables and components", randomDistinct3Cnf(22, 5, 3)},
      {"unit and wide clauses", Formula{10, {{0}, {1, 2}, {2, 3, 4, 5, 6, 7, 8, 9}, {1}}}},
      {"an empty clause", Formula{4, {{0, 1}, {}}}},
      {"no clauses", Formula{5, {}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MonotoneCounter().count(c.formula), Count(enumeratedCount(c.formula))) << c.name;
  }
}

struct Case {
  std::string name;
  Formula formula;
  Count count;
};

// Each family's counter, enumeration and the frontier DP agree on members of <= 22 variables.
TEST(ExactCounts, FamiliesMatchEnumeration) {
  const Case cases[] = {
      {"grid 1 x 1", gridVertexCover(1, 1), gridCount(1, 1)},
      {"grid 6 x 1, one row", gridVertexCover(6, 1), gridCount(6, 1)},
      {"grid 4 x 5", gridVertexCover(4, 5), gridCount(4, 5)},
      {"grid 5 x 4", gridVertexCover(5, 4), gridCount(5, 4)},
      {"torus 3 x 3: partial permutations, 34", torusVertexCover(3, 3), torusCount(3, 3)},
      {"torus 4 x 4", torusVertexCover(4, 4), torusCount(4, 4)},
      {"torus 3 x 7, odd height", torusVertexCover(3, 7), torusCount(3, 7)},
      {"path 1: no clause", pathVertexCover(1), pathCount(1)},
      {"path 17", pathVertexCover(17), pathCount(17)},
      {"cycle 3", cycleVertexCover(3), cycleCount(3)},
      {"cycle 18", cycleVertexCover(18), cycleCount(18)},
      {"tree 1", randomTreeVertexCover(1, 5), forestCount(randomTreeVertexCover(1, 5))},
      {"tree 2", randomTreeVertexCover(2, 5), forestCount(randomTreeVertexCover(2, 5))},
      {"tree 3", randomTreeVertexCover(3, 5), forestCount(randomTreeVertexCover(3, 5))},
      {"tree 18", randomTreeVertexCover(18, 7), forestCount(randomTreeVertexCover(18, 7))},
      {"banded 3-CNF", bandedMonotoneCnf(19, 40, 3, 6, 1), bandedCount(bandedMonotoneCnf(19, 40, 3, 6, 1), 6)},
      {"banded, k = window", bandedMonotoneCnf(20, 12, 4, 4, 2), bandedCount(bandedMonotoneCnf(20, 12, 4, 4, 2), 4)},
      {"banded 2-CNF, window over the span", bandedMonotoneCnf(18, 25, 2, 5, 3), bandedCount(bandedMonotoneCnf(18, 25, 2, 5, 3), 9)},
      {"K_(1,1)", completeBipartiteVertexCover(1, 1), completeBipartiteCount(1, 1)},
      {"K_(3,5)", completeBipartiteVertexCover(3, 5), completeBipartiteCount(3, 5)},
      {"K_2", completeGraphVertexCover(2), completeGraphCount(2)},
      {"K_9", completeGraphVertexCover(9), completeGraphCount(9)},
      {"disjoint unit clauses", disjointClauses(1, 5), disjointClausesCount(1, 5)},
      {"disjoint 4-clauses", disjointClauses(4, 5), disjointClausesCount(4, 5)},
      {"blocks", randomBlocks(2, 11, 25, 4), randomBlocksCount(2, 11, 25, 4)},
      {"shuffled banded", shuffled(bandedMonotoneCnf(19, 40, 3, 6, 1), 9), bandedCount(bandedMonotoneCnf(19, 40, 3, 6, 1), 6)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.count, enumeratedCount(c.formula)) << c.name;
    EXPECT_EQ(frontierCount(c.formula), c.count) << c.name;
  }
  EXPECT_EQ(torusCount(3, 3), 34);
}

// Beyond enumeration: the same counts from an independent counter.
TEST(ExactCounts, FamiliesMatchIndependentCounters) {
  const Formula tree = randomTreeVertexCover(60, 11);
  const Formula banded = bandedMonotoneCnf(400, 1200, 3, 10, 5);
  const Case cases[] = {
      {"grid 13 x 11 (frontier)", gridVertexCover(13, 11), gridCount(13, 11)},
      {"torus 6 x 8", torusVertexCover(6, 8), torusCount(6, 8)},
      {"torus 7 x 5", torusVertexCover(7, 5), torusCount(7, 5)},
      {"path 300", pathVertexCover(300), pathCount(300)},
      {"cycle 301", cycleVertexCover(301), cycleCount(301)},
      {"path 500 as a tree", pathVertexCover(500), forestCount(pathVertexCover(500))},
      {"banded 3-CNF, 400 variables", banded, bandedCount(banded, 10)},
      {"banded, wider window", banded, bandedCount(banded, 14)},
  };
  for (const Case& c : cases) EXPECT_EQ(frontierCount(c.formula), c.count) << c.name;
  // Trees, cliques and complete bipartite graphs: the exhaustive counter (<= 64 variables).
  EXPECT_EQ(forestCount(tree), MonotoneCounter().count(tree));
  EXPECT_EQ(forestCount(shuffled(tree, 3)), MonotoneCounter().count(tree));
  EXPECT_EQ(completeBipartiteCount(20, 30), MonotoneCounter().count(completeBipartiteVertexCover(20, 30)));
  EXPECT_EQ(completeGraphCount(40), MonotoneCounter().count(completeGraphVertexCover(40)));
  // A star is a tree with 2^(n-1) + 1 covers.
  EXPECT_EQ(forestCount(completeBipartiteVertexCover(1, 900)), completeBipartiteCount(1, 900));
  // Grids: the exhaustive counter, and the published count of independent sets of the 8 x 8 grid.
  EXPECT_EQ(gridCount(7, 6), MonotoneCounter().count(gridVertexCover(7, 6)));
  EXPECT_EQ(gridCount(8, 8), Count(660647962955));
}

TEST(ExactCounts, FloatGridCountWithinItsBound) {
  for (const auto& [w, h] : {std::pair{7, 2000}, std::pair{16, 16}}) {  // 7 x 2000 > 2^4096: rescaled
    const Count exact = gridCount(w, h);
    const ScaledValue value = gridCountFloat(w, h);
    const long double bound = floatRelativeErrorBound(static_cast<long long>(w) * h, fibonacci(w + 2));
    EXPECT_LT(std::fabs(value.log10() - log10Of(exact)), bound) << w << " x " << h;
  }
  // At an activity: the chance that a set with each vertex in it with chance p covers the
  // 5 x 4 grid is p^n times the weight at activity (1 - p) / p.
  for (const double p : {0.3, 1 - 1e-5}) {
    const std::vector<double> chances = enumeratedChances(gridVertexCover(5, 4), monocount::VariableProbabilities::uniform(p), true);
    const long double chance = std::accumulate(chances.begin(), chances.end(), 0.0L);
    const long double weight = gridCountFloat(5, 4, (1.0L - p) / p).ln();
    EXPECT_NEAR(weight, std::log(chance) - 20 * std::log(static_cast<long double>(p)), 1e-12L) << p;
  }
}

// Fitted on squares of sides <= 16 (and strips of width 20), the fit predicts the 18 x 18 and
// 22 x 22 counts within its stated uncertainty, and exp f is the hard-square entropy constant
// 1.50304808247533226...
TEST(ExactCounts, SquareGridFitPredictsUnseenSides) {
  const GridFit fit = fitSquareGrid(20, 16);
  for (const int side : {18, 22}) {
    const long double error = std::fabs(fit.log10(side, side) - gridCountFloat(side, side).log10());
    EXPECT_LT(error, fit.log10Uncertainty(side, side)) << side;
    EXPECT_LT(fit.log10Uncertainty(side, side), 1e-6L) << side;
  }
  EXPECT_NEAR(std::exp(fit.bulk), 1.50304808247533226L, 1e-13L);
}

// The generators keep their promises: k distinct in-range variables a clause, banded clauses
// distinct and inside their window, a tree's n - 1 edges without a cycle, shuffling renames
// by a permutation.
TEST(ExactCounts, GeneratedFormulasHaveTheirShape) {
  struct Shape {
    std::string name;
    Formula formula;
    std::size_t clauses;
    std::size_t width;   // variables a clause
    std::int32_t span;   // largest - smallest variable of a clause, at most
  };
  const Shape shapes[] = {
      {"banded 3-CNF", bandedMonotoneCnf(500, 900, 3, 12, 1), 900, 3, 11},
      {"banded, window = n, every clause", bandedMonotoneCnf(7, 35, 3, 7, 2), 35, 3, 6},
      {"tree", randomTreeVertexCover(3000, 4), 2999, 2, 2999},
      {"torus", torusVertexCover(5, 4), 40, 2, 19},
      {"blocks", randomBlocks(5, 20, 30, 3), 150, 3, 99},
      {"shuffled disjoint clauses", shuffled(disjointClauses(5, 8), 2), 8, 5, 39},
  };
  for (const Shape& shape : shapes) {
    EXPECT_EQ(shape.formula.clauses.size(), shape.clauses) << shape.name;
    std::vector<int> seen(static_cast<std::size_t>(shape.formula.variables), 0);
    std::set<std::vector<std::int32_t>> distinct;
    for (auto clause : shape.formula.clauses) {
      std::sort(clause.begin(), clause.end());
      distinct.insert(clause);
      EXPECT_EQ(clause.size(), shape.width) << shape.name;
      EXPECT_EQ(std::adjacent_find(clause.begin(), clause.end()), clause.end()) << shape.name;
      EXPECT_GE(clause.front(), 0) << shape.name;
      EXPECT_LE(clause.back() - clause.front(), shape.span) << shape.name;
      for (const std::int32_t v : clause) ++seen.at(static_cast<std::size_t>(v));
    }
    EXPECT_EQ(distinct.size(), shape.clauses) << shape.name;
    // Disjoint clauses stay disjoint and cover every variable under any renaming.
    if (shape.name == "shuffled disjoint clauses") {
      EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 40);
    }
  }
  EXPECT_NO_THROW(forestCount(randomTreeVertexCover(3000, 4)));
  EXPECT_THROW(forestCount(cycleVertexCover(5)), std::invalid_argument);
  EXPECT_THROW(bandedCount(bandedMonotoneCnf(30, 10, 3, 8, 1), 5), std::invalid_argument);
  EXPECT_THROW(bandedMonotoneCnf(7, 36, 3, 7, 2), std::invalid_argument);  // C(7, 3) = 35 clauses
  // 65 variables in use at once (the units keep a single state): past the frontier's 64.
  Formula wide{65, {std::vector<std::int32_t>(65)}};
  std::iota(wide.clauses[0].begin(), wide.clauses[0].end(), 0);
  for (std::int32_t v = 0; v < 65; ++v) wide.clauses.push_back({v});
  EXPECT_THROW(frontierCount(wide), std::length_error);
}

TEST(ExactCounts, Log10OfCounts) {
  EXPECT_EQ(log10Of(1), 0);
  EXPECT_NEAR(log10Of(Count(1000)), 3, 1e-18L);
  EXPECT_NEAR(log10Of(Count(1) << 5000), 5000 * std::log10(2.0L), 1e-15L);  // past 64 bits
  EXPECT_NEAR(log10Of((Count(1) << 300) * 3), 300 * std::log10(2.0L) + std::log10(3.0L), 1e-15L);
  EXPECT_THROW(log10Of(0), std::invalid_argument);
}

}  // namespace
}  // namespace monocount::support
