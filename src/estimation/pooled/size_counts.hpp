#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/pooled/spread.hpp"
#include "estimation/replication.hpp"

namespace monocount {

// N(k) for k = 0 .. n from cover lengths: C(n, k) times the share of the samples whose cover
// length is at most k (a set of k variables touches every clause exactly when the first k of
// a uniform order do, and the first k of a uniform order are a uniform k-set). `binomials`
// holds C(n, k) for k = 0 .. n. All NaN when there are no samples.
std::vector<WideReal> sizesFromCoverLengths(const CoverLengthCounts& lengths, const std::vector<WideReal>& binomials);

// F(k) = C(n, k) - N(k) for k = 0 .. n from cover lengths, without subtracting: C(n, k) times
// the share of the samples whose cover length is above k. All NaN when there are no samples.
std::vector<WideReal> failingSizesFromCoverLengths(const CoverLengthCounts& lengths,
                                                   const std::vector<WideReal>& binomials);

// A replication's estimate of N(k) for k = 0 .. n: its sizeEstimates when its estimator made
// them, else those of its cover lengths.
std::vector<WideReal> sizeEstimates(const Replication& replication, const std::vector<WideReal>& binomials);

// A replication's estimate of F(k) for k = 0 .. n: its failingSizeEstimates when its estimator
// made them, else those of its cover lengths when it has some, else C(n, k) minus its N(k)
// (`sizes`), which loses the digits of an F(k) far below C(n, k).
std::vector<WideReal> failingSizeEstimates(const Replication& replication, const std::vector<WideReal>& sizes,
                                           const std::vector<WideReal>& binomials);

// The pooled estimate of N(k) and F(k) = C(n, k) - N(k) at one size k.
struct SizeCount {
  std::int32_t size = 0;
  // False when no sample reached the size (every replication estimated 0 while the formula
  // has satisfying sets, or there were no samples): N(k) is then unknown, not 0.
  bool reached = false;
  PooledValue count;
  // The same for the failing sets of size k.
  bool failingReached = false;
  PooledValue failing;
};

// The counts by size of a run (what --spectrum prints): the replications' estimates of N(k) and
// F(k), pooled size by size.
class SizeCountPool {
 public:
  // A pool of `sizes` sizes, k = 0 .. sizes - 1 (n + 1 of them for n variables).
  explicit SizeCountPool(std::size_t sizes) : sizes_(sizes), failing_(sizes) {}
  // One replication's estimates, k = 0 .. n, of both sides.
  void add(const std::vector<WideReal>& sizes, const std::vector<WideReal>& failing);
  // Every size of the pool.
  std::vector<SizeCount> result() const;

 private:
  std::vector<Spread> sizes_;
  std::vector<Spread> failing_;
};

}  // namespace monocount
