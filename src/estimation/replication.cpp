#include "estimation/replication.hpp"

#include <algorithm>

namespace monocount {

CoverLengthCounts CoverLengthCounts::of(std::span<const std::uint64_t> counts, std::uint64_t samples) {
  CoverLengthCounts lengths;
  lengths.samples = samples;
  std::size_t first = 0;
  std::size_t end = counts.size();
  while (first < end && counts[first] == 0) ++first;
  while (end > first && counts[end - 1] == 0) --end;
  if (first < end) {
    lengths.first = static_cast<std::int32_t>(first);
    lengths.counts.assign(counts.begin() + static_cast<std::ptrdiff_t>(first), counts.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return lengths;
}

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

Replication Replication::none() {
  // What the classic statistics of no scores give: the quotient 0 / 0, computed at run time as
  // the classic tool computes it (the processor's NaN, which the stream writes as "-nan").
  volatile double zero = 0.0;
  Replication nothing;
  nothing.estimate = nothing.relativeError = zero / zero;
  return nothing;
}

Replication Replication::cutShort(StopReason why) {
  Replication cut = none();
  cut.stopped = why;
  return cut;
}

std::int32_t CoverLengthCounts::shortest() const {
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] != 0) return first + static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace monocount
