#pragma once

#include <cstdint>
#include <vector>

#include "problem/problem.hpp"

namespace monocount {

// The sampling loop's view of a Problem: the occurrence lists packed into one array (with
// repeated clause indices inside a list dropped, which never changes an answer) and per-clause
// stamps instead of flags, so a query neither copies the order nor resets anything.
class CoverIndex {
 public:
  // Throws std::invalid_argument for a Problem that Problem::load could not have produced
  // (occurrence lists not one per variable, a clause index outside the clause count).
  explicit CoverIndex(const Problem& problem);

  // Same answer as Problem::coverPosition for the same order: the first 0-based position at
  // which the prefix touches every clause, 0 when none does. `order` holds at least
  // variableCount entries; none after the returned position is read. An entry read that is
  // no variable index throws std::out_of_range. Allocates nothing; one query at a time.
  std::int32_t coverPosition(const std::int32_t* order);

  std::int32_t variableCount() const { return variableCount_; }
  std::int32_t clauseCount() const { return clauseCount_; }

 private:
  std::int32_t variableCount_;
  std::int32_t clauseCount_;
  std::vector<std::uint32_t> begin_;    // variable v's clauses are clauses_[begin_[v], begin_[v+1])
  std::vector<std::int32_t> clauses_;
  std::vector<std::uint32_t> stamp_;    // clause c is touched in this query when stamp_[c] == epoch_
  std::uint32_t epoch_ = 0;            // bumped per query; stamps are cleared when it wraps

  friend struct CoverIndexTestAccess;  // lets the tests move epoch_ next to its wrap-around
};

}  // namespace monocount
