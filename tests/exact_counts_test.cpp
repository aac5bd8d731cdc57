// The exact counters of the accuracy benchmark, checked against plain enumeration and
// against each other where enumeration is out of reach.
#include "../bench/tools/exact_counts.hpp"

#include <gtest/gtest.h>

#include <string>

namespace monocount::bench {
namespace {

TEST(ExactCounts, GridTransferMatrixMatchesEnumeration) {
  const std::pair<int, int> sides[] = {{1, 1}, {1, 6}, {2, 2}, {3, 4}, {4, 3}, {4, 5}};
  for (const auto& [rows, columns] : sides) {
    EXPECT_EQ(gridCoverCount(rows, columns), enumeratedCount(gridFormula(rows, columns))) << rows << " x " << columns;
  }
  // Beyond enumeration: the exhaustive counter agrees on 6 x 7.
  EXPECT_EQ(gridCoverCount(6, 7), MonotoneCounter().count(gridFormula(6, 7)));
}

TEST(ExactCounts, HypercubeDecompositionMatchesEnumeration) {
  for (int dimension = 0; dimension <= 4; ++dimension) {
    EXPECT_EQ(hypercubeCoverCount(dimension), enumeratedCount(hypercubeFormula(dimension))) << "Q" << dimension;
  }
  EXPECT_EQ(hypercubeCoverCount(5), MonotoneCounter().count(hypercubeFormula(5)));
}

TEST(ExactCounts, ExhaustiveCounterMatchesEnumeration) {
  struct Case {
    std::string name;
    Formula formula;
  };
  const Case cases[] = {
      {"random 3-CNF, 20 variables, 60 clauses", random3Formula(20, 60, 1)},
      {"random 3-CNF, 22 variables, 150 clauses", random3Formula(22, 150, 2)},
      {"sparse: free variables and components", random3Formula(22, 5, 3)},
      {"unit and wide clauses", Formula{10, {{1}, {2, 3}, {3, 4, 5, 6, 7, 8, 9, 10}, {2}}}},
      {"an empty clause", Formula{4, {{1, 2}, {}}}},
      {"no clauses", Formula{5, {}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MonotoneCounter().count(c.formula), enumeratedCount(c.formula)) << c.name;
  }
}

}  // namespace
}  // namespace monocount::bench
