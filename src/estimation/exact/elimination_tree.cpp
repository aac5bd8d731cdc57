#include "estimation/exact/elimination_tree.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <utility>

namespace monocount {

namespace {

// Masks over one bag, with the clause each stands for: repeats and masks containing another
// are dropped (the containment test is quadratic, so it is skipped for very long lists).
void keepMinimal(std::vector<std::pair<std::uint64_t, std::int32_t>>& masks) {
  std::sort(masks.begin(), masks.end());
  masks.erase(std::unique(masks.begin(), masks.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
              masks.end());
  if (masks.size() > 512) return;
  std::stable_sort(masks.begin(), masks.end(),
                   [](const auto& a, const auto& b) { return std::popcount(a.first) < std::popcount(b.first); });
  std::vector<std::pair<std::uint64_t, std::int32_t>> kept;
  for (const auto& mask : masks) {
    const bool implied = std::any_of(kept.begin(), kept.end(),
                                     [&](const auto& smaller) { return (smaller.first & ~mask.first) == 0; });
    if (!implied) kept.push_back(mask);
  }
  std::sort(kept.begin(), kept.end());
  masks.swap(kept);
}

}  // namespace

EliminationTree::EliminationTree(const Problem& problem, const EliminationOrder& order) {
  if (!order.complete) throw std::logic_error("EliminationTree needs a complete elimination order");
  const auto n = static_cast<std::int32_t>(order.order.size());
  const auto size = static_cast<std::size_t>(n);
  std::vector<std::int32_t> step(size);
  for (std::int32_t i = 0; i < n; ++i) step[static_cast<std::size_t>(order.order[at(i)])] = i;
  variable_ = order.order;
  laterBegin_ = order.laterBegin;
  laterVariables_ = order.laterVariables;
  width_ = order.width;

  // Parents, children (in increasing order), roots and subtree sizes.
  parent_.assign(size, -1);
  std::vector<std::uint32_t> childCount(size + 1, 0);
  for (std::int32_t i = 0; i < n; ++i) {
    const auto later = this->later(i);
    if (later.empty()) {
      roots_.push_back(i);
    } else {
      parent_[at(i)] = step[static_cast<std::size_t>(later.front())];
      ++childCount[static_cast<std::size_t>(parent_[at(i)])];
    }
  }
  childBegin_.assign(size + 1, 0);
  for (std::size_t i = 0; i < size; ++i) childBegin_[i + 1] = childBegin_[i] + childCount[i];
  children_.resize(childBegin_.back());
  std::vector<std::uint32_t> fill(childBegin_.begin(), childBegin_.end() - 1);
  subtreeSize_.assign(size, 1);
  for (std::int32_t i = 0; i < n; ++i) {
    if (parent_[at(i)] < 0) continue;
    children_[fill[at(parent_[at(i)])]++] = i;
    subtreeSize_[at(parent_[at(i)])] += subtreeSize_[at(i)];
  }

  // The clauses of each first-eliminated variable, grouped by it.
  std::vector<std::int32_t> firstStep(static_cast<std::size_t>(problem.clauseCount));
  std::vector<std::uint32_t> firstBegin(size + 1, 0);
  for (std::int32_t c = 0; c < problem.clauseCount; ++c) {
    std::int32_t first = n;
    for (const std::int32_t v : problem.clause(c)) first = std::min(first, step[static_cast<std::size_t>(v)]);
    firstStep[static_cast<std::size_t>(c)] = first;
    ++firstBegin[at(first) + 1];
  }
  for (std::size_t i = 0; i < size; ++i) firstBegin[i + 1] += firstBegin[i];
  std::vector<std::int32_t> firstOf(static_cast<std::size_t>(problem.clauseCount));
  {
    std::vector<std::uint32_t> next(firstBegin.begin(), firstBegin.end() - 1);
    for (std::int32_t c = 0; c < problem.clauseCount; ++c) firstOf[next[at(firstStep[static_cast<std::size_t>(c)])]++] = c;
  }

  // From the root down: the clauses inside a node's bag are those inside its parent's bag that
  // lie in its later set, and those whose first variable is its own. Lists are appended in that
  // order (the last node first) and put in node order at the end.
  std::vector<std::uint32_t> clausesBegin(size, 0);  // a node's bag clauses in bagClauses, and their number
  std::vector<std::uint32_t> clausesCount(size, 0);
  std::vector<std::int32_t> bagClauses;
  std::vector<std::uint64_t> masksOf[2];  // [0] inside, [1] own, appended per node
  std::vector<std::uint32_t> masksBegin[2] = {std::vector<std::uint32_t>(size), std::vector<std::uint32_t>(size)};
  std::vector<std::int32_t> bit(size, -1);  // position in the bag being built: 0 its variable, j + 1 later member j
  std::vector<std::pair<std::uint64_t, std::int32_t>> masks;
  for (std::int32_t i = n - 1; i >= 0; --i) {
    const auto later = this->later(i);
    bit[static_cast<std::size_t>(variable_[at(i)])] = 0;
    for (std::size_t j = 0; j < later.size(); ++j) bit[static_cast<std::size_t>(later[j])] = static_cast<std::int32_t>(j + 1);
    masks.clear();
    const auto consider = [&](std::int32_t c) {
      std::uint64_t mask = 0;
      for (const std::int32_t v : problem.clause(c)) {
        const std::int32_t b = bit[static_cast<std::size_t>(v)];
        if (b < 0) return;
        mask |= std::uint64_t{1} << b;
      }
      masks.emplace_back(mask, c);
    };
    if (parent_[at(i)] >= 0) {
      const std::size_t p = at(parent_[at(i)]);
      for (std::uint32_t k = 0; k < clausesCount[p]; ++k) consider(bagClauses[clausesBegin[p] + k]);
    }
    for (std::uint32_t k = firstBegin[at(i)]; k < firstBegin[at(i) + 1]; ++k) consider(firstOf[k]);
    keepMinimal(masks);
    clausesBegin[at(i)] = static_cast<std::uint32_t>(bagClauses.size());
    clausesCount[at(i)] = static_cast<std::uint32_t>(masks.size());
    for (int kind = 0; kind < 2; ++kind) masksBegin[kind][at(i)] = static_cast<std::uint32_t>(masksOf[kind].size());
    for (const auto& [mask, c] : masks) {
      bagClauses.push_back(c);
      masksOf[mask & 1U].push_back(mask >> 1);
    }
    bit[static_cast<std::size_t>(variable_[at(i)])] = -1;
    for (const std::int32_t v : later) bit[static_cast<std::size_t>(v)] = -1;
  }
  // In node order: node i's masks run to the start of node i - 1's (appended just after it).
  const auto reorder = [&](int kind, std::vector<std::uint32_t>& begin, std::vector<std::uint64_t>& items) {
    begin.assign(1, 0);
    items.reserve(masksOf[kind].size());
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint32_t from = masksBegin[kind][i];
      const std::uint32_t to = i == 0 ? static_cast<std::uint32_t>(masksOf[kind].size()) : masksBegin[kind][i - 1];
      items.insert(items.end(), masksOf[kind].begin() + from, masksOf[kind].begin() + to);
      begin.push_back(static_cast<std::uint32_t>(items.size()));
    }
  };
  reorder(0, insideBegin_, inside_);
  reorder(1, ownBegin_, own_);
}

std::uint64_t EliminationTree::bytes() const {
  const auto held = [](const auto& items) { return items.capacity() * sizeof(items[0]); };
  return held(variable_) + held(parent_) + held(subtreeSize_) + held(laterBegin_) + held(laterVariables_) +
         held(childBegin_) + held(children_) + held(insideBegin_) + held(inside_) + held(ownBegin_) + held(own_) +
         held(roots_);
}

}  // namespace monocount
