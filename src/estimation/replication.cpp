#include "estimation/replication.hpp"

#include <algorithm>

namespace monocount {

void CoverLengthCounts::add(const CoverLengthCounts& other) {
  samples += other.samples;
  if (other.counts.empty()) return;
  if (counts.empty()) {
    first = other.first;
    counts = other.counts;
    return;
  }
  const std::int32_t low = std::min(first, other.first);
  const std::int32_t high = std::max(first + static_cast<std::int32_t>(counts.size()),
                                     other.first + static_cast<std::int32_t>(other.counts.size()));
  if (low < first) counts.insert(counts.begin(), static_cast<std::size_t>(first - low), 0);
  counts.resize(static_cast<std::size_t>(high - low), 0);
  first = low;
  for (std::size_t i = 0; i < other.counts.size(); ++i) {
    counts[static_cast<std::size_t>(other.first - first) + i] += other.counts[i];
  }
}

std::int32_t CoverLengthCounts::shortest() const {
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] != 0) return first + static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace monocount
