#pragma once

#include <cstdint>
#include <vector>

#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The sampling loop's cover query: for an order of the variables, the first 0-based position
// at which the prefix touches every clause (0 when none does). It works on the packed
// occurrence table (repeated clause indices inside a list dropped, which never changes an
// answer) and per-clause stamps instead of flags, so a query neither copies the order nor
// resets anything.
class CoverIndex {
 public:
  // Throws std::invalid_argument for a Problem that the reader could not have produced
  // (occurrence lists not one per variable, a clause index outside the clause count).
  explicit CoverIndex(const Problem& problem);

  // The cover position of an order that is a permutation of 0 .. variableCount - 1 (nothing is
  // checked; it holds at least variableCount entries), by whichever of three equivalent scans
  // the answers so far make the cheapest (chosen again every 256 queries). Allocates nothing;
  // one query at a time.
  std::int32_t coverPositionOfPermutation(const std::int32_t* order);

  std::int32_t variableCount() const { return table_.variableCount; }
  std::int32_t clauseCount() const { return table_.clauseCount; }

 private:
  // Three ways to the same answer, each of which may read the whole order:
  //   forward  from the start, to the first prefix that touches every clause;
  //   backward from the end, to the first suffix that holds every variable of some clause:
  //            the prefix before it misses that clause, every longer prefix touches all;
  //   clauses  the largest, over the clauses, of the earliest position of a clause's variable.
  // Long covers favour the backward scan, formulas with few occurrences the clause scan.
  enum class Scan : std::uint8_t { forward, backward, clauses };
  std::int32_t coverPositionOfPermutation(const std::int32_t* order, Scan scan);

  OccurrenceTable table_;
  std::vector<std::uint32_t> stamp_;    // clause c is touched in this query when stamp_[c] == epoch_
  std::uint32_t epoch_ = 0;            // bumped per query; stamps are cleared when it wraps

  std::uint32_t nextEpoch();
  std::int32_t forwardScan(const std::int32_t* order);
  std::int32_t backwardScan(const std::int32_t* order);
  std::int32_t clauseScan(const std::int32_t* order);
  void chooseScan();

  bool trivial_ = false;                // no clause, or an empty one: every answer is 0
  std::vector<std::int32_t> count_;     // backward scan: variables of each clause in the suffix; 0 between queries
  std::vector<std::uint32_t> clauseBegin_;  // clause c's variables are variables_[clauseBegin_[c], clauseBegin_[c+1])
  std::vector<std::int32_t> variables_;
  std::vector<std::int32_t> position_;  // clause scan: the position of every variable in the order
  Scan scan_ = Scan::clauses;
  std::uint64_t positionSum_ = 0;       // answers so far, for the choice of scan
  std::uint64_t queries_ = 0;

  friend struct CoverIndexTestAccess;  // lets the tests run each scan and move epoch_ next to its wrap-around
};

}  // namespace monocount
