#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/randomness/split_engine.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The clauses that hold no other clause, as sets of variables (of clauses naming the same set,
// the first): the minimal sets of the failing side, from which its ascent starts (SizeDescent).
// Grouped by size, each with its weight W(c) = prod over v in c of odds[v], so that the weight of
// a size and a draw of one of its clauses in proportion to W cost O(1) and O(log count).
//
// Built by counting, for each clause c, how many of its distinct variables every clause sharing
// one with c holds: a clause c' lies inside c when that count reaches its own size. Time: the sum
// over variables of the square of their clause counts; memory: a few integers per clause.
class MinimalClauses {
 public:
  // `odds` empty: every odds 1. The problem must have no empty clause; `problem` must outlive
  // the table.
  MinimalClauses(const Problem& problem, const OccurrenceTable& table, std::span<const double> odds);

  // The smallest size of a minimal clause (0 for a formula without clauses).
  std::int32_t smallestSize() const { return smallest_; }
  // The sum of W(c) over the minimal clauses of `size` variables (0 for none).
  WideReal weight(std::int32_t size) const;
  // A minimal clause of `size` variables with chance W(c) / weight(size); weight(size) must be
  // positive.
  std::int32_t draw(std::int32_t size, SplitEngine& engine) const;
  // Their number, for every size.
  std::int64_t count() const { return static_cast<std::int64_t>(clauses_.size()); }

 private:
  std::int32_t smallest_ = 0;
  // Per size 0 .. n: the range of its clauses in clauses_ (begin_[size] .. begin_[size + 1]).
  std::vector<std::size_t> begin_;
  std::vector<std::int32_t> clauses_;
  std::vector<long double> reach_;  // per clause: W summed over its size's clauses up to it, over their largest
  std::vector<WideReal> weights_;   // per size
};

}  // namespace monocount
