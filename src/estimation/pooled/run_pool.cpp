#include "estimation/pooled/run_pool.hpp"

#include <algorithm>
#include <sstream>
#include <utility>

#include "estimation/numerics/wide_binomials.hpp"
#include "estimation/pooled/reach_check.hpp"

namespace monocount {

RunPool::RunPool(const Problem& problem, PoolRequest request)
    : problem_(problem),
      request_(std::move(request)),
      binomials_(wideBinomialRow(problem.variableCount)),
      spectrum_(request_.spectrum ? binomials_.size() : 0),
      probabilities_(request_.probabilities, problem) {}

std::uint64_t RunPool::memoryNeeded(const Problem& problem, const PoolRequest& request) {
  if (!request.needsSizes()) return 0;
  const auto sizes = static_cast<std::uint64_t>(std::max(problem.variableCount, 0)) + 1;
  return sizes * (sizeof(WideReal) * 3 + sizeof(Spread));
}

void RunPool::add(const Replication& replication) {
  ++replications_;
  mean_.add(replication.estimate);
  spread_.add(replication.estimate);
  lengths_.add(replication.coverLengths);
  if (!request_.needsSizes()) return;
  const std::vector<WideReal> sizes = sizeEstimates(replication, binomials_);
  if (request_.spectrum) spectrum_.add(sizes);
  probabilities_.add(sizes);
}

PooledRun RunPool::result() const {
  PooledRun run;
  run.replications = replications_;
  run.count = pooled(spread_, mean_.value());
  run.countLikelyTooLow = restsOnUnreachedLengths(lengths_, binomials_);
  if (run.countLikelyTooLow) {
    run.warnings.push_back(
        "the estimate is likely far too low and its RE does not show it: the count rests on cover lengths "
        "shorter than any sample reached; try --method split");
  }
  if (request_.spectrum) run.spectrum = spectrum_.result();
  run.probabilities = probabilities_.result();
  std::ostringstream suspects;
  for (const ProbabilityEstimate& estimate : run.probabilities) {
    const bool low = !estimate.exact && restsOnUnreachedLengths(lengths_, binomials_, estimate.p);
    run.probabilityLikelyTooLow.push_back(low);
    if (low) suspects << (suspects.tellp() > 0 ? ", " : "") << estimate.p;
  }
  if (suspects.tellp() > 0) {
    run.warnings.push_back("the probability at p = " + suspects.str() +
                           " is likely far too low and its RE does not show it: it rests on cover lengths "
                           "shorter than any sample reached; try --method split");
  }
  return run;
}

}  // namespace monocount
