#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "estimation/exact/exact_counter.hpp"
#include "estimation/exact/exact_plan.hpp"
#include "estimation/replication.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The exact counter behind the estimators' interface: its replication is the exact answer,
// computed once (the first call) and the same for every call: the count (relative error 0, its
// decimal digits in Replication::exactCount), its complement 2^n minus the count, N(k) and
// F(k) = C(n, k) - N(k) when asked (exactly, or in floating point within the plan's bound), and
// both sides of each law.
class ExactEstimator {
 public:
  // `plan` was made by planExact for this problem and these settings, and does not refuse.
  // Keeps a reference to `problem`, which must outlive the estimator.
  ExactEstimator(const Problem& problem, std::shared_ptr<const ExactPlan> plan, ExactSettings settings);

  // The exact answer; `sampleSize` plays no part.
  Replication estimateModelCount(std::int32_t sampleSize);

  ProgressCallback onProgress;  // never called: the counter reports no progress

 private:
  Replication compute() const;

  const Problem& problem_;
  std::shared_ptr<const ExactPlan> plan_;
  ExactSettings settings_;
  std::optional<Replication> answer_;
};

}  // namespace monocount
