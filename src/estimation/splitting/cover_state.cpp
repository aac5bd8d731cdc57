#include "estimation/splitting/cover_state.hpp"

#include <algorithm>
#include <limits>

namespace monocount {

template <class Slot>
CoverStateOf<Slot>::CoverStateOf(const OccurrenceTable& table)
    : table_(&table),
      lists_(static_cast<std::size_t>(table.variableCount)),
      entries_(lists_.size()),
      clauses_(static_cast<std::size_t>(table.clauseCount)) {
  fill();
}

template <class Slot>
bool CoverStateOf<Slot>::holds(const OccurrenceTable& table) {
  // A mark goes down to minus the clauses of a variable, and kOutside lies below that.
  constexpr std::int64_t largest = std::numeric_limits<Slot>::max();
  if (table.variableCount > largest) return false;
  for (std::size_t v = 0; v + 1 < table.begin.size(); ++v) {
    if (table.begin[v + 1] - table.begin[v] > largest) return false;
  }
  return true;
}

template <class Slot>
CoverStateOf<Slot>& CoverStateOf<Slot>::operator=(const CoverStateOf& other) {
  if (this == &other) return *this;
  size_ = other.size_;
  removableCount_ = other.removableCount_;
  const auto removable = static_cast<std::ptrdiff_t>(removableCount_);
  std::copy(other.lists_.begin(), other.lists_.begin() + removable, lists_.begin());
  const auto size = static_cast<std::ptrdiff_t>(size_);
  std::copy(other.lists_.begin() + size, other.lists_.end(), lists_.begin() + size);
  std::copy(other.entries_.begin(), other.entries_.end(), entries_.begin());
  std::copy(other.clauses_.begin(), other.clauses_.end(), clauses_.begin());
  gains_ = other.gains_;
  removableGain_ = other.removableGain_;
  return *this;
}

template <class Slot>
void CoverStateOf<Slot>::fill() {
  const std::int32_t n = table_->variableCount;
  size_ = n;
  removableCount_ = 0;
  removableGain_ = 0.0;
  for (std::size_t c = 0; c < clauses_.size(); ++c) clauses_[c] = {static_cast<Slot>(table_->clauseSizes[c]), 0};
  for (std::int32_t v = 0; v < n; ++v) {
    std::int32_t alone = 0;
    for (std::uint32_t i = table_->begin[static_cast<std::size_t>(v)]; i < table_->begin[static_cast<std::size_t>(v) + 1]; ++i) {
      Members& clause = members(i);
      clause.index ^= v;
      if (clause.count == 1) ++alone;
    }
    place(v) = 0;
    mark(v) = -alone;
    if (alone == 0) markRemovable<true>(v);
  }
}

template <class Slot>
void CoverStateOf<Slot>::tally(const double* gains) {
  gains_ = gains;
  removableGain_ = 0.0;
  if (gains_ != nullptr) forEachRemovable([&](std::int32_t v) { removableGain_ += gains_[v]; });
}

template <class Slot>
template <bool Tallied>
void CoverStateOf<Slot>::markRemovable(std::int32_t v) {
  if (Tallied && gains_ != nullptr) removableGain_ += gains_[v];
  mark(v) = removableCount_;
  lists_[static_cast<std::size_t>(removableCount_++)] = v;  // below size_: removable members are members
}

template <class Slot>
template <bool Tallied>
void CoverStateOf<Slot>::unmarkRemovable(std::int32_t v) {
  if (Tallied && gains_ != nullptr) removableGain_ -= gains_[v];
  const std::int32_t slot = mark(v);
  const std::int32_t last = lists_[static_cast<std::size_t>(--removableCount_)];
  lists_[static_cast<std::size_t>(slot)] = last;
  mark(last) = slot;
}

template <class Slot>
template <bool Tallied>
void CoverStateOf<Slot>::removeMember(std::int32_t x) {
  unmarkRemovable<Tallied>(x);
  // x comes first among the outside, at the place the last member leaves.
  mark(x) = kOutside;
  place(x) = --size_;
  lists_[static_cast<std::size_t>(size_)] = x;
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(x)]; i < table_->begin[static_cast<std::size_t>(x) + 1]; ++i) {
    Members& clause = members(i);
    clause.index ^= x;
    if (--clause.count != 1) continue;
    // The member left is now alone in the clause: removable no more, or alone in one more.
    const std::int32_t last = clause.index;
    Slot& lastMark = mark(last);
    if (lastMark >= 0) {
      unmarkRemovable<Tallied>(last);
      lastMark = -1;
    } else {
      --lastMark;
    }
  }
}

template <class Slot>
template <bool Tallied>
void CoverStateOf<Slot>::addMember(std::int32_t y) {
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(y)]; i < table_->begin[static_cast<std::size_t>(y) + 1]; ++i) {
    Members& clause = members(i);
    const std::int32_t was = clause.index;  // the lone member, if the count is 1
    clause.index ^= y;
    if (clause.count++ != 1) continue;
    if (++mark(was) == 0) markRemovable<Tallied>(was);
  }
  // The first outside variable takes y's place.
  const std::int32_t at = place(y);
  const std::int32_t first = lists_[static_cast<std::size_t>(size_++)];
  lists_[static_cast<std::size_t>(at)] = first;
  place(first) = at;
  markRemovable<Tallied>(y);  // every clause of y had a member besides
}

template <class Slot>
void CoverStateOf<Slot>::prefetch(std::int32_t v) const {
  const auto at = static_cast<std::size_t>(v);
  __builtin_prefetch(&entries_[at]);
  for (std::uint32_t i = table_->begin[at]; i < table_->begin[at + 1]; ++i) {
    __builtin_prefetch(&clauses_[static_cast<std::size_t>(table_->clauses[i])]);
  }
}

template <class Slot>
void CoverStateOf<Slot>::walk(SplitEngine& engine, std::int32_t steps) {
  if (steps <= 0) return;
  const auto outside = static_cast<std::uint32_t>(table_->variableCount - size_);
  std::int32_t y = outsideAt(static_cast<std::int32_t>(engine.below(outside)));
  for (std::int32_t step = 1;; ++step) {
    addMember<false>(y);
    const std::int32_t x = drawRemovable(engine);
    if (step == steps) {
      removeMember<false>(x);
      return;
    }
    // Once x has left it is the first outside variable and the others keep their places, one
    // further along than now: outside variable j then is outside variable j - 1 now.
    const auto j = static_cast<std::int32_t>(engine.below(outside));
    y = j == 0 ? x : outsideAt(j - 1);
    prefetch(y);
    removeMember<false>(x);
  }
}

template class CoverStateOf<std::int32_t>;
template void CoverStateOf<std::int32_t>::removeMember<false>(std::int32_t);
template void CoverStateOf<std::int32_t>::removeMember<true>(std::int32_t);
template void CoverStateOf<std::int32_t>::addMember<false>(std::int32_t);
template void CoverStateOf<std::int32_t>::addMember<true>(std::int32_t);
template class CoverStateOf<std::int16_t>;
template void CoverStateOf<std::int16_t>::removeMember<false>(std::int32_t);
template void CoverStateOf<std::int16_t>::removeMember<true>(std::int32_t);
template void CoverStateOf<std::int16_t>::addMember<false>(std::int32_t);
template void CoverStateOf<std::int16_t>::addMember<true>(std::int32_t);

}  // namespace monocount
