#include "estimation/splitting/cover_state.hpp"

#include <numeric>

#include "estimation/splitting/placed_order.hpp"

namespace monocount {

CoverState::CoverState(const Problem& problem, const OccurrenceTable& table)
    : problem_(&problem),
      table_(&table),
      order_(static_cast<std::size_t>(table.variableCount)),
      place_(order_.size()),
      alone_(order_.size()),
      slot_(order_.size()),
      members_(static_cast<std::size_t>(table.clauseCount)) {
  removable_.reserve(order_.size());
  fill();
}

void CoverState::fill() {
  const std::int32_t n = table_->variableCount;
  size_ = n;
  std::iota(order_.begin(), order_.end(), 0);
  std::iota(place_.begin(), place_.end(), 0);
  members_.assign(table_->clauseSizes.begin(), table_->clauseSizes.end());
  removable_.clear();
  for (std::int32_t v = 0; v < n; ++v) {
    std::int32_t alone = 0;
    for (std::uint32_t i = table_->begin[static_cast<std::size_t>(v)]; i < table_->begin[static_cast<std::size_t>(v) + 1]; ++i) {
      if (members_[static_cast<std::size_t>(table_->clauses[i])] == 1) ++alone;
    }
    alone_[static_cast<std::size_t>(v)] = alone;
    slot_[static_cast<std::size_t>(v)] = -1;
    if (alone == 0) markRemovable(v);
  }
}

void CoverState::markRemovable(std::int32_t v) {
  slot_[static_cast<std::size_t>(v)] = static_cast<std::int32_t>(removable_.size());
  removable_.push_back(v);  // never beyond the capacity reserved: at most n members
}

void CoverState::unmarkRemovable(std::int32_t v) {
  const auto at = static_cast<std::size_t>(slot_[static_cast<std::size_t>(v)]);
  const std::int32_t last = removable_.back();
  removable_[at] = last;
  slot_[static_cast<std::size_t>(last)] = static_cast<std::int32_t>(at);
  removable_.pop_back();
  slot_[static_cast<std::size_t>(v)] = -1;
}

std::int32_t CoverState::loneMember(std::int32_t c) const {
  for (const std::int32_t v : problem_->clause(c)) {
    if (contains(v)) return v;
  }
  return -1;  // not reached: the clause has a member
}

void CoverState::remove(std::int32_t x) {
  unmarkRemovable(x);
  // x leaves the member block: swap it with the last member.
  const auto to = static_cast<std::size_t>(--size_);
  placeAt(order_, place_, x, to);
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(x)]; i < table_->begin[static_cast<std::size_t>(x) + 1]; ++i) {
    const std::int32_t c = table_->clauses[i];
    if (--members_[static_cast<std::size_t>(c)] != 1) continue;
    const std::int32_t last = loneMember(c);
    if (alone_[static_cast<std::size_t>(last)]++ == 0) unmarkRemovable(last);
  }
}

void CoverState::add(std::int32_t y) {
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(y)]; i < table_->begin[static_cast<std::size_t>(y) + 1]; ++i) {
    const std::int32_t c = table_->clauses[i];
    if (members_[static_cast<std::size_t>(c)]++ != 1) continue;
    const std::int32_t was = loneMember(c);  // y is not a member yet
    if (--alone_[static_cast<std::size_t>(was)] == 0) markRemovable(was);
  }
  const auto to = static_cast<std::size_t>(size_++);
  placeAt(order_, place_, y, to);
  alone_[static_cast<std::size_t>(y)] = 0;  // every clause of y had a member besides
  markRemovable(y);
}

}  // namespace monocount
