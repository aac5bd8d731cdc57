#include "estimation/pooled/size_counts.hpp"

#include <algorithm>
#include <limits>

namespace monocount {

std::vector<WideReal> sizesFromCoverLengths(const CoverLengthCounts& lengths, const std::vector<WideReal>& binomials) {
  if (lengths.samples == 0) return std::vector<WideReal>(binomials.size(), std::numeric_limits<double>::quiet_NaN());
  std::vector<WideReal> sizes(binomials.size());
  const WideReal samples(static_cast<double>(lengths.samples));
  std::uint64_t covered = 0;
  for (std::size_t k = static_cast<std::size_t>(std::max(lengths.first, 0)); k < sizes.size(); ++k) {
    const std::size_t at = k - static_cast<std::size_t>(lengths.first);
    if (at < lengths.counts.size()) covered += lengths.counts[at];
    if (covered != 0) sizes[k] = binomials[k] * (WideReal(static_cast<double>(covered)) / samples);
  }
  return sizes;
}

std::vector<WideReal> failingSizesFromCoverLengths(const CoverLengthCounts& lengths,
                                                   const std::vector<WideReal>& binomials) {
  if (lengths.samples == 0) return std::vector<WideReal>(binomials.size(), std::numeric_limits<double>::quiet_NaN());
  std::vector<WideReal> failing(binomials.size());
  const WideReal samples(static_cast<double>(lengths.samples));
  // Samples longer than k: all of them below the shortest length (length 0 never stands for a
  // cover of a formula with clauses), then fewer and fewer.
  std::uint64_t longer = lengths.samples;
  for (std::size_t k = 0; k < failing.size(); ++k) {
    const std::int64_t at = static_cast<std::int64_t>(k) - lengths.first;
    if (at >= 0 && static_cast<std::size_t>(at) < lengths.counts.size()) longer -= lengths.counts[static_cast<std::size_t>(at)];
    if (longer != 0) failing[k] = binomials[k] * (WideReal(static_cast<double>(longer)) / samples);
  }
  return failing;
}

std::vector<WideReal> sizeEstimates(const Replication& replication, const std::vector<WideReal>& binomials) {
  if (!replication.sizeEstimates.empty()) return replication.sizeEstimates;
  return sizesFromCoverLengths(replication.coverLengths, binomials);
}

std::vector<WideReal> failingSizeEstimates(const Replication& replication, const std::vector<WideReal>& sizes,
                                           const std::vector<WideReal>& binomials) {
  if (!replication.failingSizeEstimates.empty()) return replication.failingSizeEstimates;
  if (replication.sizeEstimates.empty()) return failingSizesFromCoverLengths(replication.coverLengths, binomials);
  std::vector<WideReal> failing(binomials.size());
  for (std::size_t k = 0; k < failing.size() && k < sizes.size(); ++k) {
    const WideReal rest = binomials[k] - sizes[k];
    failing[k] = rest.isNegative() ? WideReal(0.0) : rest;
  }
  return failing;
}

void SizeCountPool::add(const std::vector<WideReal>& sizes, const std::vector<WideReal>& failing) {
  for (std::size_t k = 0; k < sizes_.size() && k < sizes.size(); ++k) sizes_[k].add(sizes[k]);
  for (std::size_t k = 0; k < failing_.size() && k < failing.size(); ++k) failing_[k].add(failing[k]);
}

namespace {

// Which pooled estimates are known: an estimate of exactly 0 is "not reached" unless every
// size's estimate is 0 (then the formula has no such sets at all, and every 0 is the answer).
std::vector<bool> reachedSizes(const std::vector<PooledValue>& values) {
  bool anySet = false;
  for (const PooledValue& value : values) anySet = anySet || !value.mean.isZero();
  std::vector<bool> reached;
  for (const PooledValue& value : values) reached.push_back(value.mean.isFinite() && (!value.mean.isZero() || !anySet));
  return reached;
}

}  // namespace

std::vector<SizeCount> SizeCountPool::result() const {
  std::vector<PooledValue> counts;
  std::vector<PooledValue> failing;
  for (const Spread& size : sizes_) counts.push_back(pooled(size));
  for (const Spread& size : failing_) failing.push_back(pooled(size));
  const std::vector<bool> reached = reachedSizes(counts);
  const std::vector<bool> failingReached = reachedSizes(failing);
  std::vector<SizeCount> result(sizes_.size());
  for (std::size_t k = 0; k < result.size(); ++k) {
    result[k] = {static_cast<std::int32_t>(k), reached[k], counts[k], failingReached[k], failing[k]};
  }
  return result;
}

}  // namespace monocount
