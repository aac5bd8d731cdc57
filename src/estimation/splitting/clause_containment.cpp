#include "estimation/splitting/clause_containment.hpp"

#include <algorithm>
#include <numeric>

#include "estimation/splitting/placed_order.hpp"

namespace monocount {

ClauseContainment::ClauseContainment(const Problem& problem, const OccurrenceTable& table)
    : problem_(&problem),
      table_(&table),
      order_(static_cast<std::size_t>(table.variableCount)),
      place_(order_.size()),
      heldBy_(order_.size()),
      outside_(static_cast<std::size_t>(table.clauseCount)),
      slot_(outside_.size()),
      nearSlot_(outside_.size()),
      met_(order_.size(), 0) {
  held_.reserve(outside_.size());
  near_.reserve(outside_.size());
  for (std::int32_t c = 0; c < table.clauseCount && !repeats_; ++c) {
    repeats_ = static_cast<std::size_t>(table.clauseSizes[static_cast<std::size_t>(c)]) != problem.clause(c).size();
  }
  if (repeats_) seen_.assign(order_.size(), 0);
  fill();
}

void ClauseContainment::fill() {
  size_ = table_->variableCount;
  std::iota(order_.begin(), order_.end(), 0);
  std::iota(place_.begin(), place_.end(), 0);
  std::fill(outside_.begin(), outside_.end(), 0);
  std::iota(slot_.begin(), slot_.end(), 0);
  held_.resize(outside_.size());
  std::iota(held_.begin(), held_.end(), 0);
  near_.clear();
  std::fill(nearSlot_.begin(), nearSlot_.end(), -1);
  for (std::size_t v = 0; v < heldBy_.size(); ++v) heldBy_[v] = static_cast<std::int32_t>(table_->begin[v + 1] - table_->begin[v]);
}

template <class Visit>
void ClauseContainment::forEachVariable(std::int32_t c, Visit visit) const {
  if (!repeats_) {
    for (const std::int32_t v : problem_->clause(c)) visit(v);
    return;
  }
  if (++stamp_ == 0) {  // wrapped: no variable may look met already
    std::fill(seen_.begin(), seen_.end(), 0);
    stamp_ = 1;
  }
  for (const std::int32_t v : problem_->clause(c)) {
    auto& seen = seen_[static_cast<std::size_t>(v)];
    if (seen == stamp_) continue;
    seen = stamp_;
    visit(v);
  }
}

std::int32_t ClauseContainment::removableCount() const {
  // The members outside the removable ones lie in every held clause: count them in one.
  const std::int32_t held = heldCount();
  std::int32_t pinned = 0;
  forEachVariable(held_.front(), [&](std::int32_t v) { pinned += heldBy_[static_cast<std::size_t>(v)] == held; });
  return size_ - pinned;
}

void ClauseContainment::assign(std::int32_t c) {
  // From the empty set (no clause held, every clause wholly outside), add c's variables.
  size_ = 0;
  std::iota(order_.begin(), order_.end(), 0);
  std::iota(place_.begin(), place_.end(), 0);
  std::fill(heldBy_.begin(), heldBy_.end(), 0);
  std::copy(table_->clauseSizes.begin(), table_->clauseSizes.end(), outside_.begin());
  held_.clear();
  std::fill(slot_.begin(), slot_.end(), -1);
  near_.clear();
  std::fill(nearSlot_.begin(), nearSlot_.end(), -1);
  for (std::int32_t unit = 0; unit < table_->clauseCount; ++unit) {
    if (outside_[static_cast<std::size_t>(unit)] == 1) nearIn(unit);
  }
  for (const std::int32_t v : problem_->clause(c)) {
    if (!contains(v)) add(v);
  }
}

void ClauseContainment::swapInto(std::int32_t v, std::size_t to) {
  placeAt(order_, place_, v, to);
}

void ClauseContainment::nearIn(std::int32_t c) {
  nearSlot_[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(near_.size());
  near_.push_back(c);  // never beyond the capacity reserved: at most one entry per clause
}

void ClauseContainment::nearOut(std::int32_t c) {
  const auto at = static_cast<std::size_t>(nearSlot_[static_cast<std::size_t>(c)]);
  const std::int32_t last = near_.back();
  near_[at] = last;
  nearSlot_[static_cast<std::size_t>(last)] = static_cast<std::int32_t>(at);
  near_.pop_back();
  nearSlot_[static_cast<std::size_t>(c)] = -1;
}

void ClauseContainment::completing(std::vector<std::int32_t>& out) const {
  out.clear();
  if (++meeting_ == 0) {  // wrapped: no variable may look met already
    std::fill(met_.begin(), met_.end(), 0);
    meeting_ = 1;
  }
  for (const std::int32_t c : near_) {
    for (const std::int32_t v : problem_->clause(c)) {
      if (contains(v)) continue;
      if (met_[static_cast<std::size_t>(v)] != meeting_) {
        met_[static_cast<std::size_t>(v)] = meeting_;
        out.push_back(v);
      }
      break;
    }
  }
}

void ClauseContainment::remove(std::int32_t x) {
  swapInto(x, static_cast<std::size_t>(--size_));
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(x)]; i < table_->begin[static_cast<std::size_t>(x) + 1]; ++i) {
    const std::int32_t c = table_->clauses[i];
    const std::int32_t before = outside_[static_cast<std::size_t>(c)]++;
    if (before == 0) nearIn(c);
    if (before == 1) nearOut(c);
    if (before != 0) continue;
    // c was held: it no longer is.
    const auto at = static_cast<std::size_t>(slot_[static_cast<std::size_t>(c)]);
    const std::int32_t last = held_.back();
    held_[at] = last;
    slot_[static_cast<std::size_t>(last)] = static_cast<std::int32_t>(at);
    held_.pop_back();
    slot_[static_cast<std::size_t>(c)] = -1;
    forEachVariable(c, [this](std::int32_t v) { --heldBy_[static_cast<std::size_t>(v)]; });
  }
}

void ClauseContainment::add(std::int32_t y) {
  swapInto(y, static_cast<std::size_t>(size_++));
  for (std::uint32_t i = table_->begin[static_cast<std::size_t>(y)]; i < table_->begin[static_cast<std::size_t>(y) + 1]; ++i) {
    const std::int32_t c = table_->clauses[i];
    const std::int32_t after = --outside_[static_cast<std::size_t>(c)];
    if (after == 1) nearIn(c);
    if (after == 0) nearOut(c);
    if (after != 0) continue;
    slot_[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(held_.size());
    held_.push_back(c);  // never beyond the capacity reserved: at most one entry per clause
    forEachVariable(c, [this](std::int32_t v) { ++heldBy_[static_cast<std::size_t>(v)]; });
  }
}

}  // namespace monocount
