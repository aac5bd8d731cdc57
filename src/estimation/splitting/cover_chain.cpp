#include "estimation/splitting/cover_chain.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>

namespace monocount {

CoverChain::CoverChain(const OccurrenceTable& table)
    : table_(&table),
      prefixLength_(table.variableCount),
      order_(static_cast<std::size_t>(table.variableCount)),
      counts_(table.clauseSizes) {
  std::iota(order_.begin(), order_.end(), 0);
}

void CoverChain::resetToWhole() {
  prefixLength_ = table_->variableCount;
  counts_ = table_->clauseSizes;
}

void CoverChain::adopt(const CoverChain& source, std::int32_t length) {
  std::copy(source.order_.begin(), source.order_.end(), order_.begin());
  std::copy(source.counts_.begin(), source.counts_.end(), counts_.begin());
  for (std::int32_t position = length; position < source.prefixLength_; ++position) {
    remove(order_[static_cast<std::size_t>(position)]);
  }
  prefixLength_ = length;
}

void CoverChain::add(std::int32_t variable) {
  const auto v = static_cast<std::size_t>(variable);
  for (std::uint32_t i = table_->begin[v], end = table_->begin[v + 1]; i < end; ++i) {
    ++counts_[static_cast<std::size_t>(table_->clauses[i])];
  }
}

void CoverChain::remove(std::int32_t variable) {
  const auto v = static_cast<std::size_t>(variable);
  for (std::uint32_t i = table_->begin[v], end = table_->begin[v + 1]; i < end; ++i) {
    --counts_[static_cast<std::size_t>(table_->clauses[i])];
  }
}

bool CoverChain::removable(std::int32_t variable) const {
  const auto v = static_cast<std::size_t>(variable);
  for (std::uint32_t i = table_->begin[v], end = table_->begin[v + 1]; i < end; ++i) {
    if (counts_[static_cast<std::size_t>(table_->clauses[i])] < 2) return false;
  }
  return true;
}

std::int64_t CoverChain::exchange(std::int64_t proposals, SplitEngine& engine) {
  const auto prefix = static_cast<std::uint64_t>(prefixLength_);
  const std::uint64_t suffix = order_.size() - prefix;
  if (suffix == 0 || prefix == 0) return 0;
  std::int64_t accepted = 0;
  for (std::int64_t proposal = 0; proposal < proposals; ++proposal) {
    const std::size_t i = engine.below(static_cast<std::uint32_t>(prefix));
    const std::size_t j = prefix + engine.below(static_cast<std::uint32_t>(suffix));
    const std::int32_t leaving = order_[i];
    const std::int32_t entering = order_[j];
    // With the entering variable counted, the leaving one may go when no clause of it is
    // left with it as its only prefix variable.
    add(entering);
    if (removable(leaving)) {
      remove(leaving);
      order_[i] = entering;
      order_[j] = leaving;
      ++accepted;
    } else {
      remove(entering);
    }
  }
  return accepted;
}

std::int32_t CoverChain::coverLength(SplitEngine& engine) {
  // Scanning a uniformly ordered prefix from its end: the prefix of length j - 1 still covers
  // exactly when the variable at position j - 1 is removable from the prefix of length j.
  std::int32_t front = prefixLength_;
  while (front > 0) {
    const std::size_t pick = engine.below(static_cast<std::uint32_t>(front));
    const std::size_t last = static_cast<std::size_t>(front) - 1;
    std::swap(order_[pick], order_[last]);
    if (!removable(order_[last])) break;
    remove(order_[last]);
    --front;
  }
  for (std::int32_t position = front; position < prefixLength_; ++position) {
    add(order_[static_cast<std::size_t>(position)]);
  }
  return front;
}

}  // namespace monocount
