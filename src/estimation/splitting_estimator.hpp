#pragma once

#include <cstdint>
#include <functional>

#include "estimation/wide_real.hpp"
#include "problem/problem.hpp"

namespace monocount {

// Generalized splitting on the cover length of a uniformly random order: unbiased scores
// whose variance stays small where the satisfying fraction is tiny. Draws from its own
// seeded generator, never from the classic estimator's source.
class SplittingEstimator {
 public:
  // Keeps a reference to `problem`, which must outlive the estimator.
  SplittingEstimator(const Problem& problem, std::uint32_t seed);

  // One replication of `sampleSize` independent root samples: returns the mean score and
  // stores the relative standard error of that mean. NaN for both when sampleSize <= 0.
  WideReal estimateModelCount(std::int32_t sampleSize, double& relativeError);

  // Called now and then during a replication with the number of roots finished so far.
  std::function<void(std::int64_t)> onProgress;

 private:
  const Problem& problem_;
  std::uint32_t seed_;
};

}  // namespace monocount
