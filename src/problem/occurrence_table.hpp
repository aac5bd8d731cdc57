#pragma once

#include <cstdint>
#include <vector>

#include "problem/problem.hpp"

namespace monocount {

// The clauses of every variable, packed, with a repeated clause index inside one list dropped
// (it neither touches a new clause nor changes a count that matters), and the number of
// distinct variables of every clause.
struct OccurrenceTable {
  // Throws std::invalid_argument for occurrence lists that are not one per variable or name a
  // clause outside the clause count.
  explicit OccurrenceTable(const Problem& problem);

  std::int32_t variableCount;
  std::int32_t clauseCount;
  std::vector<std::uint32_t> begin;        // variable v's clauses: clauses[begin[v] .. begin[v + 1])
  std::vector<std::int32_t> clauses;
  std::vector<std::int32_t> clauseSizes;  // distinct variables per clause
};

}  // namespace monocount
