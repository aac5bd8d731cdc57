#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// How many samples of a replication had each cover length (the length of the shortest prefix
// of the sample's order that touches every clause). Only the lengths first .. first +
// counts.size() - 1 are stored; every other length had no sample. `samples` counts every
// sample, also those of a formula with an empty clause, which have no cover length at all.
struct CoverLengthCounts {
  std::int32_t first = 0;
  std::vector<std::uint64_t> counts;
  std::uint64_t samples = 0;

  // Adds the samples of `other`, length by length (blocks of one replication, or the
  // replications of a run, merge this way).
  void add(const CoverLengthCounts& other);
  // The shortest length with a sample; -1 when there is none.
  std::int32_t shortest() const;
};

// What one replication of an estimator yields: the estimate of the number of satisfying
// assignments (split under a per-variable law, SplitTargets::law: the chance that the formula
// holds) and its relative standard error (the standard error of the estimate divided by it).
// Both are NaN for a replication of no samples.
struct Replication {
  WideReal estimate;
  double relativeError = 0.0;
  // The crude estimator, always: the cover lengths of its samples (the estimate is the mean
  // over them of C(n, L) + ... + C(n, n)). Also the split estimator, on a formula whose count
  // is known without sampling. Empty when nothing was sampled.
  CoverLengthCounts coverLengths;
  // The split estimator, when asked for the spectrum (EstimatorSettings::spectrum): its
  // estimate of N(k), the number of satisfying sets of k variables, for k = 0 .. n, each a
  // mean over the replication's samples as `estimate` is (their sum over k is `estimate`, up to
  // rounding). Empty otherwise; the spectrum then follows from `coverLengths`.
  std::vector<WideReal> sizeEstimates;
  // The split estimator, when its roots also go down the failing sets (SplitTargets::failing):
  // the complement of `estimate`, the number (or, under a per-variable law, the chance) of the
  // assignments that do not satisfy the formula, estimated as a quantity of its own from roots
  // of its own, with its relative error computed as `relativeError` is. Empty otherwise.
  struct Complement {
    WideReal estimate;
    double relativeError = 0.0;
  };
  std::optional<Complement> complement;
  // With the complement and the spectrum: F(k) for k = 0 .. n, the failing assignments with k
  // true variables (their chance, under a per-variable law), a mean over the samples as
  // `sizeEstimates` is. Empty otherwise.
  std::vector<WideReal> failingSizeEstimates;
  // What the estimator wants the user to know about this replication, one sentence each,
  // written once per run however many replications raise it.
  std::vector<std::string> warnings;
};

// About how many bytes an estimator takes: its tables, built once, and what grows with the
// sample size N.
struct MemoryNeed {
  std::uint64_t tables = 0;
  std::uint64_t samples = 0;
};

// Called now and then while a replication runs, with the number of samples (or roots) it has
// finished so far; a root still running counts with the share of its sizes it has gone down.
using ProgressCallback = std::function<void(double done)>;

}  // namespace monocount
