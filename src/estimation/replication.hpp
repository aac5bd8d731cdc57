#pragma once

#include <cstdint>
#include <functional>

#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// What one replication of an estimator yields: the estimate of the number of satisfying
// assignments and its relative standard error (the standard error of the estimate divided by
// it). Both are NaN for a replication of no samples.
struct Replication {
  WideReal estimate;
  double relativeError = 0.0;
};

// About how many bytes an estimator takes: its tables, built once, and what grows with the
// sample size N.
struct MemoryNeed {
  std::uint64_t tables = 0;
  std::uint64_t samples = 0;
};

// Called now and then while a replication runs, with the number of samples (or roots) it has
// finished so far.
using ProgressCallback = std::function<void(std::int64_t done)>;

}  // namespace monocount
