#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/randomness/split_engine.hpp"
#include "estimation/splitting/cover_state.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"

namespace monocount {

// How a root of the size descent runs. The defaults are what the README's accuracy and
// honesty tables were measured with.
struct DescentSettings {
  // Particles per root, >= 1.
  std::int32_t particles = 32;
  // Walk steps per particle after each removal, >= 0.
  std::int32_t walkSteps = 16;
  // The walk stops, for the rest of a root, at the first size whose estimate falls below this
  // share of the root's estimate so far (the removals go on: the sizes below stay estimated,
  // without bias, only with more spread).
  double negligible = 1e-12;
};

// One root of the splitting estimator: sequential Monte Carlo down the sizes of the satisfying
// sets, from the whole set of n variables to sets from which no variable can be removed.
//
// Let N(k) be the number of satisfying sets of k variables. For a satisfying set S of size k,
// let rem(S) be the number of its members whose removal leaves it satisfying. Every pair (S, x)
// with x removable is one satisfying set T = S - x of size k - 1 and one of its n - k + 1
// supersets T + x, all satisfying as the formula is monotone; hence
//   sum over S of size k of rem(S) / (n - k + 1) = N(k - 1),
// and removing a uniform removable member of a set drawn with weight rem(S) gives a uniform
// set of size k - 1. So the particles, all the whole set at first (N(n) = 1), go down one size
// at a time: each particle's weight is multiplied by rem(S) / (n - k + 1), then it loses a
// uniform removable member. The mean weight after the step to size k - 1 is an unbiased
// estimate of N(k - 1) (the product estimator of sequential Monte Carlo, Del Moral). The
// particles are resampled (systematically) when the effective number of them falls below half,
// and walk between steps on sets of the same size: add a uniform outside variable y, then
// remove a uniform removable member of S + y (maybe y). The walk's chance of S -> S' equals that
// of S' -> S (both are 1 / ((n - k) rem(S + y))), so it keeps the uniform law on the sets of
// each size; resampling and walking change the spread, never the expectation, whatever they
// are decided from in the past of the root. A particle with no removable member keeps weight
// 0; the root ends when every particle has.
//
// The root's estimate is sum_k N^(k), at most sum_k C(n, k) = 2^n. Each N^(k) lies between 0
// and C(n, k), since every factor rem / (n - k + 1) is at most k / (n - k + 1).
//
// A root costs about P * (n - smallest size) * (1 + 2 walkSteps) moves, each a few operations
// per clause of the variable moved; memory: P cover states. Nothing is allocated per root.
class SizeDescent {
 public:
  // `problem` (without an empty clause) and `table` must outlive the descent.
  SizeDescent(const Problem& problem, const OccurrenceTable& table, const DescentSettings& settings);

  // Called every few sizes with the share of the root done so far (0 to 1), judged from how far
  // the previous root walked.
  using StepProgress = std::function<void(double part)>;

  // Runs one root on `engine`. With `sizes` (n + 1 entries), adds N^(k) to sizes[k] for every
  // k the root reached. With `progress`, tells it how far the root has gone. Returns the root's
  // estimate.
  WideReal run(SplitEngine& engine, std::span<WideReal> sizes = {}, const StepProgress* progress = nullptr);

  // The smallest size any particle of the last root reached.
  std::int32_t smallestSize() const { return smallest_; }

 private:
  void resample(SplitEngine& engine);

  std::int32_t variableCount_;
  DescentSettings settings_;
  std::vector<CoverState> particles_;
  std::vector<double> weights_;
  std::vector<std::int32_t> offspring_;
  std::vector<std::int32_t> vacant_;
  std::int32_t smallest_ = 0;
  std::int32_t walkedDown_ = 0;  // sizes the last root walked down, 0 before the first
};

}  // namespace monocount
