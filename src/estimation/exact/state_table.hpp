#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "estimation/exact/page_allocator.hpp"

namespace monocount {

// The states of a node of the elimination tree: the assignments of its later set (`bits`
// variables, bit j true when the j-th is) that meet every mask of `inside` (each non-empty:
// a state meets a mask when they share a bit), listed in increasing order, with a hash index
// from a state to its rank. As the formula is monotone, every assignment that meets the
// masks of a bag extends to a satisfying assignment (the remaining variables all true), so
// these are exactly the states the counter must keep, and every one of them carries a
// positive count.
class StateTable {
 public:
  StateTable() = default;
  // Lists the states (bits <= 63). The listing runs on `threads` threads when there are many
  // states, split by the values of the top bits, with the same result for every thread count.
  StateTable(std::int32_t bits, std::span<const std::uint64_t> inside, std::int32_t threads);

  std::size_t size() const { return keys_.size(); }
  std::uint64_t key(std::size_t rank) const { return keys_[rank]; }
  // The rank of `state`, which must be one of the table's (size() otherwise).
  std::size_t find(std::uint64_t state) const {
    std::size_t slot = static_cast<std::size_t>((state * kMultiplier) >> shift_);
    while (true) {
      const std::uint32_t entry = slots_[slot];
      if (entry == 0) return keys_.size();
      if (keys_[entry - 1] == state) return entry - 1;
      slot = (slot + 1) & (slots_.size() - 1);
    }
  }

  // The bytes a table of `states` states holds: its list and its index.
  static std::uint64_t bytesFor(std::uint64_t states);

  // How many states there are, without listing them: a dynamic programme over the bits from the
  // top, whose state is the bits still needed by a mask not yet decided. Its cost is at most the
  // number of states times `bits`, and far less on bags whose clauses form a path or a cycle.
  // Stops once the count passes `limit` and returns what it has then (more than `limit`); and
  // once it would follow more than kMostPlannedStates partial states (a bag of many long
  // clauses), returning a bound above the count.
  static double count(std::int32_t bits, std::span<const std::uint64_t> inside, double limit);
  static constexpr std::size_t kMostPlannedStates = std::size_t{1} << 18;

 private:
  static constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
  PageVector<std::uint64_t> keys_;
  PageVector<std::uint32_t> slots_;  // rank + 1, 0 for an empty slot
  std::int32_t shift_ = 63;
};

}  // namespace monocount
