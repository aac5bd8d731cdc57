#pragma once

#include <cstdint>
#include <vector>

#include "estimation/randomness/split_engine.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"

namespace monocount {

// A set of variables F that contains some clause entirely: the false variables of an assignment
// that fails the formula (the assignment fails exactly when its false variables hold a whole
// clause). These sets are closed under adding, as the satisfying sets are, so the size descent
// goes down through them as it does through the satisfying sets (CoverState), from the whole set
// to the minimal ones, which are the clauses that hold no other clause.
//
// A member x is removable when F - x still holds a clause, that is when some clause held by F
// does not contain x. Kept:
//   - per clause, the number of its distinct variables outside F (it is held when that is 0);
//   - the held clauses, as an indexed set (their number, and one of them in O(1));
//   - per variable, the number of held clauses it belongs to: a member is removable when that is
//     below the number of held clauses;
//   - the clauses with exactly one variable outside F, as an indexed set (the variables that
//     would complete a clause, for the ascent);
//   - the members and the variables outside F, as one indexed set, for a uniform one in O(1).
// The members that are not removable are those in every held clause, so they all lie in any one
// held clause: removableCount() counts them there, in O(length of that clause), and a uniform
// removable member is drawn by rejection from the members (size() / removableCount() draws
// expected). Removing x costs one step per clause of x, plus the length of every clause that
// stops being held; adding y likewise for the clauses that become held.
//
// Memory: four integers per variable and five per clause (five per variable when a clause
// names a variable twice). Copying a state into another of the same problem allocates nothing.
class ClauseContainment {
 public:
  // The whole set: every variable in F. `problem` and `table` must outlive the state, and the
  // problem must have at least one clause and no empty one.
  ClauseContainment(const Problem& problem, const OccurrenceTable& table);

  // Back to the whole set, without allocating.
  void fill();
  // F becomes the set of the distinct variables of clause c: O(n + clauses) and a step per
  // clause of each of c's variables, without allocating.
  void assign(std::int32_t c);

  std::int32_t size() const { return size_; }
  // The number of held clauses.
  std::int32_t heldCount() const { return static_cast<std::int32_t>(held_.size()); }
  // The number of removable members, 0 when F is a minimal set (a clause holding no other).
  std::int32_t removableCount() const;
  bool removable(std::int32_t v) const {
    return contains(v) && heldBy_[static_cast<std::size_t>(v)] < heldCount();
  }
  // A uniform removable member; removableCount() must be positive.
  std::int32_t drawRemovable(SplitEngine& engine) const {
    const auto members = static_cast<std::uint32_t>(size_);
    const std::int32_t held = heldCount();
    for (;;) {
      const std::int32_t v = order_[engine.below(members)];
      if (heldBy_[static_cast<std::size_t>(v)] < held) return v;
    }
  }
  // Calls visit(x) for every removable member x, in the members' order.
  template <class Visit>
  void forEachRemovable(Visit visit) const {
    const std::int32_t held = heldCount();
    for (std::int32_t i = 0; i < size_; ++i) {
      const std::int32_t v = order_[static_cast<std::size_t>(i)];
      if (heldBy_[static_cast<std::size_t>(v)] < held) visit(v);
    }
  }
  // The i-th variable outside F, 0 <= i < variableCount - size().
  std::int32_t outsideAt(std::int32_t i) const { return order_[static_cast<std::size_t>(size_ + i)]; }
  bool contains(std::int32_t v) const { return place_[static_cast<std::size_t>(v)] < size_; }

  // The variables y outside F that complete a clause (some clause has y as its only variable
  // outside F), each once, into `out` (cleared first; no allocation once it holds n). For any
  // other y outside, removableCount() of F + y is removableCount() of F plus 1.
  void completing(std::vector<std::int32_t>& out) const;
  // Whether y was among the variables of the last completing() (until it is called again).
  bool completedLast(std::int32_t y) const { return met_[static_cast<std::size_t>(y)] == meeting_; }

  // Takes the removable member x out of F.
  void remove(std::int32_t x);
  // Puts the variable y, outside F, into F.
  void add(std::int32_t y);

 private:
  // Calls visit(v) once for every distinct variable v of clause c.
  template <class Visit>
  void forEachVariable(std::int32_t c, Visit visit) const;
  void swapInto(std::int32_t v, std::size_t to);
  void nearIn(std::int32_t c);
  void nearOut(std::int32_t c);

  const Problem* problem_;
  const OccurrenceTable* table_;
  std::int32_t size_ = 0;
  bool repeats_ = false;                   // some clause names a variable twice
  std::vector<std::int32_t> order_;        // members first (order_[0 .. size_)), then the rest
  std::vector<std::int32_t> place_;        // of every variable in order_
  std::vector<std::int32_t> heldBy_;       // per variable: held clauses it belongs to
  std::vector<std::int32_t> outside_;      // per clause: its distinct variables outside F
  std::vector<std::int32_t> held_;         // the held clauses, in no particular order
  std::vector<std::int32_t> slot_;         // of every held clause in held_, -1 for the rest
  std::vector<std::int32_t> near_;         // the clauses with one variable outside F
  std::vector<std::int32_t> nearSlot_;     // of every such clause in near_, -1 for the rest
  mutable std::vector<std::uint32_t> met_;  // scratch of completing(): the last call that met a variable
  mutable std::uint32_t meeting_ = 0;
  // With repeats_: per variable, the last visit that met it (scratch, changed by const visits).
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t stamp_ = 0;
};

}  // namespace monocount
