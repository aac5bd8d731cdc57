#pragma once

#include <cstdint>
#include <vector>

namespace monocount {

// A monotone CNF formula in the shape the estimators need: for every variable, the clauses it
// occurs in. A set of variables satisfies the formula (its variables true, all others false)
// exactly when it touches every clause. Built once by the reader, then shared by reference.
class Problem {
 public:
  std::int32_t variableCount = 0;  // at least 1 in a problem the reader accepted
  std::int32_t clauseCount = 0;    // the clauses, numbered 0 .. clauseCount - 1 in file order
  // occurrences[v]: the index of every clause naming variable v + 1, in file order, once per
  // naming (a variable named twice in a clause holds its index twice).
  std::vector<std::vector<std::int32_t>> occurrences;

  // False when some clause holds no variable (an empty clause): then no set of variables
  // touches every clause and the formula has no satisfying assignment.
  bool everyClauseTouchable() const;
};

}  // namespace monocount
