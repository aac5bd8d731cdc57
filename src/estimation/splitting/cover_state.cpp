#include "estimation/splitting/cover_state.hpp"

#include <algorithm>

namespace monocount {

CoverState::CoverState(const OccurrenceTable& table)
    : table_(&table),
      lists_(static_cast<std::size_t>(table.variableCount)),
      entries_(lists_.size()),
      clauses_(static_cast<std::size_t>(table.clauseCount)) {
  fill();
}

CoverState& CoverState::operator=(const CoverState& other) {
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

void CoverState::fill() {
  const std::int32_t n = table_->variableCount;
  size_ = n;
  removableCount_ = 0;
  removableGain_ = 0.0;
  for (std::size_t c = 0; c < clauses_.size(); ++c) clauses_[c] = {table_->clauseSizes[c], 0};
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

void CoverState::tally(const double* gains) {
  gains_ = gains;
  removableGain_ = 0.0;
  if (gains_ != nullptr) forEachRemovable([&](std::int32_t v) { removableGain_ += gains_[v]; });
}

template <bool Tallied>
void CoverState::markRemovable(std::int32_t v) {
  if (Tallied && gains_ != nullptr) removableGain_ += gains_[v];
  mark(v) = removableCount_;
  lists_[static_cast<std::size_t>(removableCount_++)] = v;  // below size_: removable members are members
}

template <bool Tallied>
void CoverState::unmarkRemovable(std::int32_t v) {
  if (Tallied && gains_ != nullptr) removableGain_ -= gains_[v];
  const std::int32_t slot = mark(v);
  const std::int32_t last = lists_[static_cast<std::size_t>(--removableCount_)];
  lists_[static_cast<std::size_t>(slot)] = last;
  mark(last) = slot;
}

template <bool Tallied>
void CoverState::removeMember(std::int32_t x) {
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
    std::int32_t& lastMark = mark(last);
    if (lastMark >= 0) {
      unmarkRemovable<Tallied>(last);
      lastMark = -1;
    } else {
      --lastMark;
    }
  }
}

template <bool Tallied>
void CoverState::addMember(std::int32_t y) {
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

template void CoverState::removeMember<false>(std::int32_t);
template void CoverState::removeMember<true>(std::int32_t);
template void CoverState::addMember<false>(std::int32_t);
template void CoverState::addMember<true>(std::int32_t);

}  // namespace monocount
