#pragma once

#include <cstdint>
#include <vector>

#include "problem/problem.hpp"

namespace monocount {

// The clauses of every variable, packed, with a repeated clause index inside one list dropped
// (it neither touches a new clause nor changes a count that matters), and the number of
// distinct variables of every clause. Built from the problem's clauses in one counting pass
// and one filling pass; each list holds its clauses in file order.
struct OccurrenceTable {
  // Throws std::invalid_argument for a problem whose clause arrays are not well formed
  // (clauseBegin not clauseCount + 1 increasing offsets from 0 to literals.size(), or a
  // variable index outside 0 .. variableCount - 1).
  explicit OccurrenceTable(const Problem& problem);

  std::int32_t variableCount;
  std::int32_t clauseCount;
  std::vector<std::uint32_t> begin;        // variable v's clauses: clauses[begin[v] .. begin[v + 1])
  std::vector<std::int32_t> clauses;
  std::vector<std::int32_t> clauseSizes;  // distinct variables per clause
};

}  // namespace monocount
