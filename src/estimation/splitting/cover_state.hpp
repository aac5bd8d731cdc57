#pragma once

#include <cstdint>
#include <vector>

#include "estimation/randomness/split_engine.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"

namespace monocount {

// A satisfying set of variables S (one that touches every clause), kept so that the two moves
// the size descent makes cost a few operations per clause of the variable moved:
//   - the removable members, those x in S whose removal leaves S satisfying (no clause has x
//     as its only member in S), as an indexed set: their number, and a uniform one in O(1);
//   - the variables outside S, as an indexed set too, for a uniform one in O(1).
// Per clause it keeps the number of its distinct variables in S; per member, the number of
// clauses of which it is the only member in S (a member is removable when that is 0). Removing
// a member scans a clause only when its count falls to 1 (to find the one left), adding a
// variable only when a count rises to 2 (to find the one that was alone).
//
// A move touches a variable's place and its count together, and a member's count is only read
// while it is positive (then it is not removable) or zero (then its slot in the removable list
// is what matters): so one integer holds either, and the two integers of a variable lie side
// by side, the variable and its neighbours in the formula on one cache line where their
// numbers are close.
//
// Memory: four integers per variable and one per clause. Copying a state into another of the
// same problem allocates nothing.
class CoverState {
 public:
  // The whole set: every variable in S. `problem` and `table` must outlive the state, and the
  // problem must have no empty clause.
  CoverState(const Problem& problem, const OccurrenceTable& table);

  // Back to the whole set, without allocating.
  void fill();

  std::int32_t size() const { return size_; }
  std::int32_t removableCount() const { return static_cast<std::int32_t>(removable_.size()); }
  // The i-th removable member, 0 <= i < removableCount().
  std::int32_t removableAt(std::int32_t i) const { return removable_[static_cast<std::size_t>(i)]; }
  // A uniform removable member, from one bounded draw; removableCount() must be positive.
  std::int32_t drawRemovable(SplitEngine& engine) const {
    return removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(removableCount()))));
  }
  // Calls visit(x) for every removable member x, in the order of removableAt.
  template <class Visit>
  void forEachRemovable(Visit visit) const {
    for (const std::int32_t x : removable_) visit(x);
  }
  // The i-th variable outside S, 0 <= i < variableCount - size().
  std::int32_t outsideAt(std::int32_t i) const { return order_[static_cast<std::size_t>(size_ + i)]; }
  bool contains(std::int32_t v) const { return at(v).place < size_; }
  bool removable(std::int32_t v) const { return at(v).mark >= 0; }

  // Takes the removable member x out of S.
  void remove(std::int32_t x);
  // Puts the variable y, outside S, into S (S + y is satisfying, and y is removable in it).
  void add(std::int32_t y);

 private:
  // What a state keeps of one variable.
  struct Entry {
    std::int32_t place;  // in order_
    // A removable member's slot in removable_; for the other members minus the number of
    // clauses in which the member is alone; -1 outside S.
    std::int32_t mark;
  };
  Entry& at(std::int32_t v) { return entries_[static_cast<std::size_t>(v)]; }
  const Entry& at(std::int32_t v) const { return entries_[static_cast<std::size_t>(v)]; }
  void markRemovable(std::int32_t v);
  void unmarkRemovable(std::int32_t v);
  // The member of S in clause c when it has exactly one.
  std::int32_t loneMember(std::int32_t c) const;

  const Problem* problem_;
  const OccurrenceTable* table_;
  std::int32_t size_ = 0;
  std::vector<std::int32_t> order_;      // members first (order_[0 .. size_)), then the rest
  std::vector<Entry> entries_;           // per variable
  std::vector<std::int32_t> removable_;  // the removable members, in no particular order
  std::vector<std::int32_t> members_;    // per clause: its distinct variables in S
};

}  // namespace monocount
