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
    const std::int32_t lastMark = mark(last);
    // Without a branch, which would guess wrong about half the time: when last was removable
    // the list's final removable member moves into its slot; when not, the same stores leave
    // everything as it was (the final slot's entry is rewritten with itself, and last's mark
    // is set twice). removableCount_ stays below size_ then, as last is a member that is not.
    const bool was = lastMark >= 0;
    if (Tallied && was && gains_ != nullptr) removableGain_ -= gains_[last];
    removableCount_ -= was;
    const std::int32_t end = removableCount_;
    const std::int32_t moved = lists_[static_cast<std::size_t>(end)];
    const std::int32_t slot = was ? lastMark : end;
    lists_[static_cast<std::size_t>(slot)] = static_cast<Slot>(moved);
    mark(was ? moved : last) = static_cast<Slot>(slot);
    mark(last) = static_cast<Slot>(was ? -1 : lastMark - 1);
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
    const std::int32_t wasMark = mark(was) + 1;
    // Without a branch: the list's slot past the removable members lies below size_ (was is a
    // member that is not removable), so writing was there is harmless when it stays so.
    const bool becomes = wasMark == 0;
    if (Tallied && becomes && gains_ != nullptr) removableGain_ += gains_[was];
    lists_[static_cast<std::size_t>(removableCount_)] = static_cast<Slot>(was);
    mark(was) = static_cast<Slot>(becomes ? removableCount_ : wasMark);
    removableCount_ += becomes;
  }
  // The first outside variable takes y's place.
  const std::int32_t at = place(y);
  const std::int32_t first = lists_[static_cast<std::size_t>(size_++)];
  lists_[static_cast<std::size_t>(at)] = first;
  place(first) = at;
  markRemovable<Tallied>(y);  // every clause of y had a member besides
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
