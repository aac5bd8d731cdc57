#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "estimation/randomness/split_engine.hpp"

namespace monocount {

// The variables of a set S under per-variable odds, grouped by the binary exponent of their
// odds (class e holds the odds in [2^e, 2^(e+1))), each class split into the members of S and
// the rest, so that
//   - a variable outside S with chance proportional to its odds, and
//   - a member of S with chance proportional to 1 / its odds
// are drawn exactly, in one pass over the non-empty classes and fewer than two tries on
// average: a class is chosen by its count times its bound (2^(e+1), or 2^-e), a uniform variable
// of it, kept with chance odds / 2^(e+1) (or 2^e / odds), both at least 1/2. The walk of the
// size descent under odds draws with them (SizeDescent).
//
// Memory: two integers per variable and one per class, besides the layout shared by all sets.
// Copying one into another of the same layout allocates nothing.
class OddsClasses {
 public:
  // The class of every variable and the classes' places: built once, shared.
  struct Layout {
    std::vector<std::int32_t> classOf;    // per variable
    std::vector<std::int32_t> begin;      // per class: its first place (classes + 1 entries)
    std::vector<double> upper;            // per class: 2^(e+1), over the largest one's
    std::vector<double> lower;            // per class: 2^e, over the smallest one's
    std::vector<double> odds;             // per variable
    std::vector<std::int32_t> home;       // the variables by class
    std::vector<std::int32_t> homePlace;  // of every variable in home
  };
  // The layout of `odds` (each finite and positive).
  static std::shared_ptr<const Layout> layoutOf(std::span<const double> odds);

  // Every variable in S.
  explicit OddsClasses(std::shared_ptr<const Layout> layout);

  // Back to every variable in S; or S = the variables for which `contains` is true.
  void fill();
  template <class Contains>
  void assign(Contains contains) {
    fill();
    for (std::size_t v = 0; v < place_.size(); ++v) {
      if (!contains(static_cast<std::int32_t>(v))) leave(static_cast<std::int32_t>(v));
    }
  }

  // v, outside S, enters it; v, a member, leaves it.
  void enter(std::int32_t v);
  void leave(std::int32_t v);

  // A variable outside S with chance proportional to its odds; S must not be everything.
  std::int32_t drawOutsideByOdds(SplitEngine& engine) const;
  // A member of S with chance proportional to 1 / its odds; S must not be empty.
  std::int32_t drawMemberByInverseOdds(SplitEngine& engine) const;

 private:
  std::shared_ptr<const Layout> layout_;
  std::vector<std::int32_t> order_;   // per class, its members first, then the rest
  std::vector<std::int32_t> place_;   // of every variable in order_
  std::vector<std::int32_t> inside_;  // per class: its members
};

}  // namespace monocount
