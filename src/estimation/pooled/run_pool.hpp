#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "estimation/numerics/mean.hpp"
#include "estimation/numerics/wide_real.hpp"
#include "estimation/pooled/probability.hpp"
#include "estimation/pooled/size_counts.hpp"
#include "estimation/pooled/spread.hpp"
#include "estimation/replication.hpp"
#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// What a run pools beyond the count: the spectrum N(k), and the probability that the formula
// holds under some laws (today each of one chance p for all variables, --probability p).
struct PoolRequest {
  bool spectrum = false;
  std::vector<VariableProbabilities> laws;
  // The count is a weighted count under this law of one chance for all variables (a weighted
  // file): crude's reach check then weighs its terms by it.
  std::optional<VariableProbabilities> countLaw{};
  // Whether the replications must estimate N(k) (EstimatorSettings::spectrum).
  bool needsSizes() const { return spectrum || !laws.empty(); }
};

// What the run's own figures say against a pooled answer, beyond its error bars:
//   likelyTooLow  crude, whose answer rests on cover lengths no sample reached
//                 (restsOnUnreachedLengths);
//   mayBeTooLow   a probability from per-size estimates (split) whose largest term lies within
//                 two sizes of the smallest size reached, k0, when the draws at k0 do not rule
//                 out smaller satisfying sets (which would weigh more, and are not counted):
//                 a set of k0 - 1 variables would give n - k0 + 1 sets at k0 with a removable
//                 member, which the descent did not meet.
enum class Doubt { none, likelyTooLow, mayBeTooLow };

// The answer of a run's replications taken together.
struct PooledRun {
  std::int64_t replications = 0;
  // Exact answers (the exact method): every value below is known without error (standard and
  // relative error 0, the interval the value itself), and the count's decimal digits are here.
  bool exact = false;
  std::string exactCount;
  // The mean of the estimates (to the last bit the table's Average), and its spread.
  PooledValue count;
  Doubt countDoubt = Doubt::none;
  // The sets that do not satisfy the formula, pooled on their own.
  PooledValue complement;
  // N(k) for k = 0 .. n, when asked.
  std::vector<SizeCount> spectrum;
  // In the order of the request's laws, each with its doubt.
  std::vector<ProbabilityEstimate> probabilities;
  std::vector<Doubt> probabilityDoubts;
  // The warnings of the pooled answer, one sentence each.
  std::vector<std::string> warnings;
};

// Pools a run's replications one at a time; stores per size and per p, not per replication.
class RunPool {
 public:
  // Keeps a reference to `problem`, which must outlive the pool.
  RunPool(const Problem& problem, PoolRequest request);
  // About how many bytes the pool takes for `problem`: for N(k) and F(k), per size its binomial,
  // their pooled spreads, and one replication's estimates and one probability's terms; nothing
  // otherwise.
  static std::uint64_t memoryNeeded(const Problem& problem, const PoolRequest& request);
  void add(const Replication& replication);
  PooledRun result() const;
  // The relative error of the pooled count so far (the spread of the replications); none
  // before two of them. Cheap: for deciding when to stop.
  std::optional<double> countRelativeError() const;

 private:
  const Problem& problem_;
  PoolRequest request_;
  std::vector<WideReal> binomials_;  // C(n, k), only when the replications' N(k) are pooled
  std::int64_t replications_ = 0;
  bool exact_ = false;
  std::string exactCount_;
  RunningWideMean mean_;
  Spread spread_;
  Spread complement_;
  CoverLengthCounts lengths_;
  SizeCountPool spectrum_;
  ProbabilityPool probabilities_;
};

}  // namespace monocount
