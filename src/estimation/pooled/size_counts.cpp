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

std::vector<WideReal> sizeEstimates(const Replication& replication, const std::vector<WideReal>& binomials) {
  if (!replication.sizeEstimates.empty()) return replication.sizeEstimates;
  return sizesFromCoverLengths(replication.coverLengths, binomials);
}

void SizeCountPool::add(const std::vector<WideReal>& sizes) {
  for (std::size_t k = 0; k < sizes_.size() && k < sizes.size(); ++k) sizes_[k].add(sizes[k]);
}

std::vector<SizeCount> SizeCountPool::result() const {
  std::vector<SizeCount> result(sizes_.size());
  bool anySet = false;
  for (std::size_t k = 0; k < sizes_.size(); ++k) {
    result[k].size = static_cast<std::int32_t>(k);
    result[k].count = pooled(sizes_[k]);
    anySet = anySet || !result[k].count.mean.isZero();
  }
  // Estimates of exactly 0 everywhere come only from a formula without satisfying sets: then
  // every 0 is the answer.
  for (SizeCount& size : result) {
    size.reached = size.count.mean.isFinite() && (!size.count.mean.isZero() || !anySet);
  }
  return result;
}

}  // namespace monocount
