// The shared formula builders: the right graphs, and exactly the same clauses from the same
// arguments, since the benchmarks' formulas and the tests' expectations depend on both.
#include "support/formulas.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace monocount::support {
namespace {

TEST(Formulas, GridIsWrittenRowByRowWithTheHorizontalEdgeFirst) {
  std::ostringstream text;
  writeDimacs(gridVertexCover(3, 2), text);  // 3 wide, 2 high
  EXPECT_EQ(text.str(), "p cnf 6 7\n1 2 0\n1 4 0\n2 3 0\n2 5 0\n3 6 0\n4 5 0\n5 6 0\n");
}

TEST(Formulas, HypercubeHasEveryEdgeOnceInTheOrderOfTheFlippedBit) {
  EXPECT_EQ(hypercubeVertexCover(0).clauses, Clauses{});
  EXPECT_EQ(hypercubeVertexCover(3).clauses,
            (Clauses{{0, 1}, {0, 2}, {0, 4}, {1, 3}, {1, 5}, {2, 3}, {2, 6}, {3, 7}, {4, 5}, {4, 6}, {5, 7}, {6, 7}}));
  for (std::int32_t d = 1; d <= 6; ++d) {
    const Formula cube = hypercubeVertexCover(d);
    EXPECT_EQ(cube.variables, 1 << d);
    EXPECT_EQ(cube.clauses.size(), static_cast<std::size_t>(d << (d - 1))) << "Q" << d;
    const std::set<std::vector<std::int32_t>> distinct(cube.clauses.begin(), cube.clauses.end());
    EXPECT_EQ(distinct.size(), cube.clauses.size()) << "Q" << d;
    for (const auto& edge : cube.clauses) {
      ASSERT_EQ(edge.size(), 2u);
      EXPECT_LT(edge[0], edge[1]);
      EXPECT_EQ(std::popcount(static_cast<std::uint32_t>(edge[0] ^ edge[1])), 1);
    }
  }
}

TEST(Formulas, RandomDistinct3CnfDrawsDistinctSortedTriplesReproducibly) {
  // The benchmark's "random3 50 250 1" begins with these clauses; a changed draw would change
  // every published number.
  const Formula pinned = randomDistinct3Cnf(50, 250, 1);
  ASSERT_EQ(pinned.clauses.size(), 250u);
  EXPECT_EQ(Clauses(pinned.clauses.begin(), pinned.clauses.begin() + 4),
            (Clauses{{24, 39, 45}, {13, 18, 41}, {9, 32, 41}, {16, 48, 49}}));
  EXPECT_EQ(randomDistinct3Cnf(50, 250, 1).clauses, pinned.clauses);
  EXPECT_NE(randomDistinct3Cnf(50, 250, 2).clauses, pinned.clauses);

  // Asking for all C(6, 3) = 20 triples must find each exactly once.
  const Formula all = randomDistinct3Cnf(6, 20, 9);
  const std::set<std::vector<std::int32_t>> distinct(all.clauses.begin(), all.clauses.end());
  EXPECT_EQ(distinct.size(), 20u);
  for (const auto& clause : all.clauses) {
    ASSERT_EQ(clause.size(), 3u);
    EXPECT_TRUE(0 <= clause[0] && clause[0] < clause[1] && clause[1] < clause[2] && clause[2] < 6);
  }
  EXPECT_THROW(randomDistinct3Cnf(2, 1, 1), std::invalid_argument);
}

}  // namespace
}  // namespace monocount::support
