#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/parallel/stop_request.hpp"

namespace monocount {

// How many samples of a replication had each cover length (the length of the shortest prefix
// of the sample's order that touches every clause). Only the lengths first .. first +
// counts.size() - 1 are stored; every other length had no sample. `samples` counts every
// sample, also those of a formula with an empty clause, which have no cover length at all.
struct CoverLengthCounts {
  std::int32_t first = 0;
  std::vector<std::uint64_t> counts;
  std::uint64_t samples = 0;

  // The lengths of `samples` samples from their number at each length (counts[L], L = 0 .. n),
  // trimmed to the shortest and longest length that occurred.
  static CoverLengthCounts of(std::span<const std::uint64_t> counts, std::uint64_t samples);
  // Adds the samples of `other`, length by length (blocks of one replication, or the
  // replications of a run, merge this way).
  void add(const CoverLengthCounts& other);
  // The shortest length with a sample; -1 when there is none.
  std::int32_t shortest() const;
};

// One law's answer in one replication (a law of EstimatorSettings::laws, or the weighted
// formula's own): the probability that the formula holds and the probability that it fails,
// each estimated on its own (neither is 1 minus the other, so a failure probability of 1e-18
// keeps its digits), each with the relative standard error of its mean over the replication's
// samples (NaN where the estimator has none).
struct LawAnswer {
  WideReal holds;
  WideReal fails;
  double holdsRelativeError = std::numeric_limits<double>::quiet_NaN();
  double failsRelativeError = std::numeric_limits<double>::quiet_NaN();
};

// What one replication of an estimator yields: the estimate of the number of satisfying
// assignments and its relative standard error (the standard error of the estimate divided by
// it). Both are NaN for a replication of no samples.
struct Replication {
  // A replication of no samples (N <= 0): estimate and relative error the NaN of 0 / 0, as the
  // classic statistics of no scores give them; nothing else.
  static Replication none();
  // A replication stopped before it drew a sample, or interrupted (dropped whatever it drew): no
  // samples, and why it stopped.
  static Replication cutShort(StopReason why);

  WideReal estimate;
  double relativeError = 0.0;
  // An exact answer rather than an estimate (the exact method): no spread, relative error 0,
  // and the count's decimal digits, all of them.
  bool exact = false;
  std::string exactCount;
  // The samples (roots, for split) the replication drew, N unless it was cut short.
  std::uint64_t samples = 0;
  // Why it was cut short, if it was: by the time limit (its figures are those of the samples
  // it drew), or interrupted (its figures mean nothing and are dropped).
  StopReason stopped = StopReason::none;
  // The crude estimator, always: the cover lengths of its samples (the estimate is the mean
  // over them of C(n, L) + ... + C(n, n)). Also the split estimator, on a formula whose count
  // is known without sampling. Empty when nothing was sampled.
  CoverLengthCounts coverLengths;
  // The split estimator, when asked for the spectrum (EstimatorSettings::spectrum): its
  // estimate of N(k), the number of satisfying sets of k variables, for k = 0 .. n, each a
  // mean over the replication's samples as `estimate` is (their sum over k is `estimate`, up to
  // rounding). Empty otherwise; the spectrum then follows from `coverLengths`.
  std::vector<WideReal> sizeEstimates;
  // The sets that do not satisfy the formula (2^n minus the count), estimated on its own, with
  // the relative standard error of that mean; NaN where the estimator gave none.
  WideReal complement = WideReal(std::numeric_limits<double>::quiet_NaN());
  double complementRelativeError = std::numeric_limits<double>::quiet_NaN();
  // Under each law the run asks about (EstimatorSettings::laws), in order. Empty where the
  // estimator leaves them to be weighed from the per-size estimates.
  std::vector<LawAnswer> laws;
  // The estimator's own estimate of F(k) = C(n, k) - N(k), the failing sets of k variables, for
  // k = 0 .. n (split, when it ran its roots on the failing side). Empty otherwise; F(k) then
  // follows from the cover lengths.
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
