#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace monocount {

// A monotone CNF formula as the reader stores it: its clauses one after another, compact (a few
// bytes per literal and per clause, nothing per variable). A set of variables satisfies the
// formula (its variables true, all others false) exactly when it touches every clause. Built
// once by the reader, then shared by reference; OccurrenceTable derives the per-variable lists
// the estimators sample with.
class Problem {
 public:
  std::int32_t variableCount = 0;  // at least 1 in a problem the reader accepted
  std::int32_t clauseCount = 0;    // the clauses, numbered 0 .. clauseCount - 1 in file order
  // Clause c holds the variables literals[clauseBegin[c] .. clauseBegin[c + 1]): 0-based
  // indices (variable number v + 1 of a file is index v), in file order, once per naming (a
  // variable named twice in a clause is held twice). clauseBegin has clauseCount + 1 entries,
  // starting at 0 and ending at literals.size().
  std::vector<std::uint32_t> clauseBegin{0};
  std::vector<std::int32_t> literals;

  // The variables of clause c, 0 <= c < clauseCount, of a well-formed problem.
  std::span<const std::int32_t> clause(std::int32_t c) const {
    const auto at = static_cast<std::size_t>(c);
    return {literals.data() + clauseBegin[at], literals.data() + clauseBegin[at + 1]};
  }

  // False when some clause holds no variable (an empty clause): then no set of variables
  // touches every clause and the formula has no satisfying assignment.
  bool everyClauseTouchable() const;
};

}  // namespace monocount
