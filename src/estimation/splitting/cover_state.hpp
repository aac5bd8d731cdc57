#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "estimation/randomness/split_engine.hpp"
#include "problem/occurrence_table.hpp"

namespace monocount {

// A satisfying set of variables S (one that touches every clause), kept so that the two moves
// the size descent makes cost a few operations per clause of the variable moved:
//   - the removable members, those x in S whose removal leaves S satisfying (no clause has x
//     as its only member in S), as an indexed set: their number, and a uniform one in O(1);
//   - the variables outside S, as an indexed set too, for a uniform one in O(1).
// Per clause it keeps the number of its distinct variables in S and the exclusive or of their
// indices, which is the member itself when there is one; per member, the number of clauses of
// which it is the only member in S (a member is removable when that is 0). So when a removal
// leaves a clause one member, or an addition gives a lone member company, that member is read
// off the clause's entry, without scanning the clause.
//
// Laid out for the cache, as the particles of a large formula outgrow it and a move is a
// handful of misses: one array holds the removable members from its front and the variables
// outside S at its back (positions size() .. n); per variable, its place in that list (while
// outside) and its mark lie side by side, the mark being a removable member's slot in the
// list, for another member minus the number of clauses of which it is the only member, and
// kOutside outside S. A move thus reads one cache line per variable it looks at, and a removal
// moves no member: the outside list keeps the order of an array of all variables with the
// members first (a variable that leaves comes first among the outside; one that enters gives
// its place to the first).
//
// Memory: three integers per variable and two per clause, of the width Slot: 16 bits where the
// formula allows (NarrowCoverState::holds), which halves the particles of a large formula and
// keeps more of them in cache, 32 otherwise (CoverState); both make the same moves from the same
// draws. Copying a state into another of the same problem allocates nothing and copies the live
// part of the lists only.
template <class Slot>
class CoverStateOf {
 public:
  // The whole set: every variable in S. `table` must outlive the state, and its problem must
  // have no empty clause.
  explicit CoverStateOf(const OccurrenceTable& table);
  CoverStateOf(const CoverStateOf&) = default;
  // `other` must be a state of the same problem.
  CoverStateOf& operator=(const CoverStateOf& other);
  // Whether every index, count and mark of `table`'s formula fits a Slot (the variables, the
  // distinct variables of a clause and the clauses of a variable are all below its largest value).
  static bool holds(const OccurrenceTable& table);

  // Back to the whole set, without allocating.
  void fill();

  std::int32_t size() const { return size_; }
  std::int32_t removableCount() const { return removableCount_; }
  // The i-th removable member, 0 <= i < removableCount().
  std::int32_t removableAt(std::int32_t i) const { return lists_[static_cast<std::size_t>(i)]; }
  // A uniform removable member, from one bounded draw; removableCount() must be positive.
  std::int32_t drawRemovable(SplitEngine& engine) const {
    return removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(removableCount()))));
  }
  // Calls visit(x) for every removable member x, in the order of removableAt.
  template <class Visit>
  void forEachRemovable(Visit visit) const {
    for (std::int32_t i = 0; i < removableCount_; ++i) visit(lists_[static_cast<std::size_t>(i)]);
  }
  // The i-th variable outside S, 0 <= i < variableCount - size().
  std::int32_t outsideAt(std::int32_t i) const { return lists_[static_cast<std::size_t>(size_ + i)]; }
  bool contains(std::int32_t v) const { return mark(v) != kOutside; }
  bool removable(std::int32_t v) const { return mark(v) >= 0; }

  // Takes the removable member x out of S.
  void remove(std::int32_t x) { removeMember<false>(x); }
  // Puts the variable y, outside S, into S (S + y is satisfying, and y is removable in it).
  void add(std::int32_t y) { addMember<false>(y); }

  // The sum of gains[v] over the removable members (the size descent's tilted removal under
  // odds), summed afresh here and kept by the moves below as members come and go; null: none
  // kept. `gains` (one per variable) must outlive the state or the next call.
  void tally(const double* gains);
  // That sum (0 without a tally, or after moves that did not keep it).
  double removableGain() const { return removableCount_ > 0 ? removableGain_ : 0.0; }
  // remove and add, keeping that sum (the plain ones skip its test, the hot path of a count).
  void removeTallied(std::int32_t x) { removeMember<true>(x); }
  void addTallied(std::int32_t y) { addMember<true>(y); }

 private:
  // What a state keeps of one variable.
  struct Entry {
    Slot place;  // in lists_, while outside S
    Slot mark;   // see above
  };
  static constexpr std::int32_t kOutside = std::numeric_limits<Slot>::min();  // the mark of a variable outside S

  Slot& place(std::int32_t v) { return entries_[static_cast<std::size_t>(v)].place; }
  Slot& mark(std::int32_t v) { return entries_[static_cast<std::size_t>(v)].mark; }
  std::int32_t mark(std::int32_t v) const { return entries_[static_cast<std::size_t>(v)].mark; }
  // What a state keeps of one clause.
  struct Members {
    Slot count;  // its distinct variables in S
    Slot index;  // their indices' exclusive or: the lone member, when count is 1
  };
  // The entry of the clause of an occurrence in the table.
  Members& members(std::uint32_t occurrence) { return clauses_[static_cast<std::size_t>(table_->clauses[occurrence])]; }
  template <bool Tallied>
  void markRemovable(std::int32_t v);
  // Takes the removable member v off the list; its mark is left to the caller.
  template <bool Tallied>
  void unmarkRemovable(std::int32_t v);
  template <bool Tallied>
  void removeMember(std::int32_t x);
  template <bool Tallied>
  void addMember(std::int32_t y);
  const OccurrenceTable* table_;
  std::int32_t size_ = 0;
  std::int32_t removableCount_ = 0;
  std::vector<Slot> lists_;          // the removable members (lists_[0 .. removableCount_)), the outside (lists_[size_ .. n))
  std::vector<Entry> entries_;       // per variable
  std::vector<Members> clauses_;     // per clause
  const double* gains_ = nullptr;     // see tally
  double removableGain_ = 0.0;
};

using CoverState = CoverStateOf<std::int32_t>;
using NarrowCoverState = CoverStateOf<std::int16_t>;
extern template class CoverStateOf<std::int32_t>;
extern template class CoverStateOf<std::int16_t>;

}  // namespace monocount
