#include "problem/occurrence_table.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(OccurrenceTable, DropsRepeatsAndCountsDistinctVariables) {
  // Clause 0 names variable 0 twice; clause 1 is (1 2); variable 3 occurs nowhere.
  const OccurrenceTable table(support::toProblem({4, {{0, 0, 1}, {1, 2}}}));
  EXPECT_EQ(table.clauseSizes, (std::vector<std::int32_t>{2, 2}));
  EXPECT_EQ(table.begin, (std::vector<std::uint32_t>{0, 1, 3, 4, 4}));
  EXPECT_EQ(table.clauses, (std::vector<std::int32_t>{0, 0, 1, 1}));
}

}  // namespace
}  // namespace monocount
