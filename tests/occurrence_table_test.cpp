#include "problem/occurrence_table.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "support/formula_builder.hpp"

namespace monocount {
namespace {

using testing::makeProblem;

TEST(OccurrenceTable, DropsRepeatsAndCountsDistinctVariables) {
  // Clause 0 names x1 twice; clause 1 is (x2 x3); x4 occurs nowhere.
  const OccurrenceTable table(makeProblem(4, {{1, 1, 2}, {2, 3}}));
  EXPECT_EQ(table.clauseSizes, (std::vector<std::int32_t>{2, 2}));
  EXPECT_EQ(table.begin, (std::vector<std::uint32_t>{0, 1, 3, 4, 4}));
  EXPECT_EQ(table.clauses, (std::vector<std::int32_t>{0, 0, 1, 1}));
}

}  // namespace
}  // namespace monocount
