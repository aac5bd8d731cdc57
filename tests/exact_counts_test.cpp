// The exact counters, checked against plain enumeration and
// against each other where enumeration is out of reach.
#include "support/exact_counts.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/enumeration.hpp"
#include "support/formulas.hpp"

namespace monocount::support {
namespace {

TEST(ExactCounts, GridTransferMatrixMatchesEnumeration) {
  const std::pair<int, int> sides[] = {{1, 1}, {1, 6}, {2, 2}, {3, 4}, {4, 3}, {4, 5}};
  for (const auto& [rows, columns] : sides) {
    EXPECT_EQ(gridCoverCount(rows, columns), Count(enumeratedCount(gridVertexCover(columns, rows)))) << rows << " x " << columns;
  }
  // Beyond enumeration: the exhaustive counter agrees on 6 x 7.
  EXPECT_EQ(gridCoverCount(6, 7), MonotoneCounter().count(gridVertexCover(7, 6)));
}

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

}  // namespace
}  // namespace monocount::support
