#include "estimation/splitting/cover_state.hpp"

#include <numeric>

#include "estimation/splitting/placed_order.hpp"

namespace monocount {

CoverState::CoverState(const Problem& problem, const OccurrenceTable& table)
    : problem_(&problem),
      table_(&table),
      order_(static_cast<std::size_t>(table.variableCount)),
      entries_(order_.size()),
      members_(static_cast<std::size_t>(table.clauseCount)) {
  removable_.reserve(order_.size());
  fill();
}

void CoverState::fill() {
  const std::int32_t n = table_->variableCount;
  size_ = n;
  std::iota(order_.begin(), order_.end(), 0);
  members_.assign(table_->clauseSizes.begin(), table_->clauseSizes.end());
  removable_.clear();
  for (std::int32_t v = 0; v < n; ++v) {
    std::int32_t alone = 0;
    for (std::uint32_t i = table_->begin[static_cast<std::size_t>(v)]; i < table_->begin[static_cast<std::size_t>(v) + 1]; ++i) {
      if (members_[static_cast<std::size_t>(table_->clauses[i])] == 1) ++alone;
    }
    at(v) = {v, -alone};
    if (alone == 0) markRemovable(v);
  }
}

void CoverState::markRemovable(std::int32_t v) {
  at(v).mark = static_cast<std::int32_t>(removable_.size());
  removable_.push_back(v);  // never beyond the capacity reserved: at most n members
}

void CoverState::unmarkRemovable(std::int32_t v) {
  std::int32_t& mark = at(v).mark;
  const std::int32_t last = removable_.back();
  removable_[static_cast<std::size_t>(mark)] = last;
  at(last).mark = mark;
  removable_.pop_back();
  mark = -1;
}

std::int32_t CoverState::loneMember(std::int32_t c) const {
  for (const std::int32_t v : problem_->clause(c)) {
    if (contains(v)) return v;
  }
  return -1;  // not reached: the clause has a member
}

void CoverState::remove(std::int32_t x) {
  unmarkRemovable(x);  // x is outside from here on: its mark stays -1
  // x leaves the member block: swap it with the last member.
  const auto to = static_cast<std::size_t>(--size_);
  placeAt(order_, [this](std::int32_t u) -> std::int32_t& { return at(u).place; }, x, to);
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(x)]; i < table_->begin[static_cast<std::size_t>(x) + 1]; ++i) {
    const std::int32_t c = table_->clauses[i];
    if (--members_[static_cast<std::size_t>(c)] != 1) continue;
    // The member left is now alone in c: removable no more, or alone in one clause more.
    const std::int32_t last = loneMember(c);
    if (at(last).mark >= 0) {
      unmarkRemovable(last);
    } else {
      --at(last).mark;
    }
  }
}

void CoverState::add(std::int32_t y) {
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(y)]; i < table_->begin[static_cast<std::size_t>(y) + 1]; ++i) {
    const std::int32_t c = table_->clauses[i];
    if (members_[static_cast<std::size_t>(c)]++ != 1) continue;
    const std::int32_t was = loneMember(c);  // y is not a member yet
    if (++at(was).mark == 0) markRemovable(was);
  }
  const auto to = static_cast<std::size_t>(size_++);
  placeAt(order_, [this](std::int32_t u) -> std::int32_t& { return at(u).place; }, y, to);
  markRemovable(y);  // every clause of y had a member besides
}

}  // namespace monocount
