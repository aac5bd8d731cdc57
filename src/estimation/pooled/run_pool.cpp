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
      binomials_(request_.needsSizes() ? wideBinomialRow(problem.variableCount) : std::vector<WideReal>{}),
      spectrum_(request_.needsSizes() ? binomials_.size() : 0),
      probabilities_(request_.laws, problem) {}

std::uint64_t RunPool::memoryNeeded(const Problem& problem, const PoolRequest& request) {
  if (!request.needsSizes()) return 0;
  const auto sizes = static_cast<std::uint64_t>(std::max(problem.variableCount, 0)) + 1;
  return sizes * (sizeof(WideReal) * 5 + 2 * sizeof(Spread));
}

void RunPool::add(const Replication& replication) {
  exact_ = replication.exact && (replications_ == 0 || exact_);
  exactCount_ = replication.exactCount;
  ++replications_;
  mean_.add(replication.estimate);
  spread_.add(replication.estimate);
  // An estimator that gives no complement of its own leaves 2^n minus its estimate: no
  // cancellation while the estimate is at most half of 2^n, as on every formula whose
  // satisfying sets are the rarer side.
  complement_.add(replication.complement.isNaN()
                      ? WideReal::powerOfTwo(problem_.variableCount) - replication.estimate
                      : replication.complement);
  lengths_.add(replication.coverLengths);
  if (!request_.needsSizes()) return;
  const std::vector<WideReal> sizes = sizeEstimates(replication, binomials_);
  const std::vector<WideReal> failing = failingSizeEstimates(replication, sizes, binomials_);
  spectrum_.add(sizes, failing);
  probabilities_.add(replication.laws.size() == request_.laws.size()
                         ? replication.laws
                         : lawAnswersFromSizes(sizes, failing, request_.laws));
}

namespace {

// A value known without error.
void makeExact(PooledValue& value) {
  value.standardError = WideReal(0.0);
  value.relativeError = 0.0;
  value.low = value.high = value.mean;
}

// Whether the largest of `terms` lies within two sizes of the smallest size with a positive
// estimate, above size 1 (no satisfying set of a formula with clauses is smaller than 1).
bool peaksAtTheSmallestReached(const std::vector<WideReal>& terms) {
  std::size_t smallest = 0;
  while (smallest < terms.size() && !(terms[smallest] > WideReal(0.0))) ++smallest;
  if (smallest <= 1 || smallest >= terms.size()) return false;
  std::size_t largest = smallest;
  for (std::size_t k = smallest; k < terms.size(); ++k) {
    if (terms[k] > terms[largest]) largest = k;
  }
  return largest <= smallest + 2;
}

// "0.1, 0.2" of the probabilities with the doubt.
std::string listed(const PooledRun& run, Doubt doubt) {
  std::ostringstream list;
  for (std::size_t i = 0; i < run.probabilities.size(); ++i) {
    if (run.probabilityDoubts[i] == doubt) {
      list << (list.tellp() > 0 ? ", " : "") << run.probabilities[i].law.uniformTruth();
    }
  }
  return list.str();
}

}  // namespace

std::optional<double> RunPool::countRelativeError() const { return pooled(spread_, mean_.value()).relativeError; }

PooledRun RunPool::result() const {
  PooledRun run;
  run.replications = replications_;
  run.count = pooled(spread_, mean_.value());
  run.complement = pooled(complement_);
  const char* const unreached = " rests on cover lengths shorter than any sample reached; try --method split";
  if (restsOnUnreachedLengths(lengths_, problem_.variableCount, request_.countLaw ? &*request_.countLaw : nullptr)) {
    run.countDoubt = Doubt::likelyTooLow;
    run.warnings.push_back(std::string("the estimate is likely far too low and its RE does not show it: the count") +
                           unreached);
  }
  const std::vector<SizeCount> sizes = spectrum_.result();
  if (request_.spectrum) run.spectrum = sizes;
  run.probabilities = probabilities_.result();
  // Crude has its cover lengths to judge by; per-size estimates only their shape.
  const bool fromLengths = lengths_.samples != 0;
  std::vector<WideReal> means;
  for (const SizeCount& size : sizes) means.push_back(size.reached ? size.count.mean : WideReal(0.0));
  for (const ProbabilityEstimate& estimate : run.probabilities) {
    Doubt doubt = Doubt::none;
    if (!estimate.exact && fromLengths) {
      if (restsOnUnreachedLengths(lengths_, problem_.variableCount, &estimate.law)) doubt = Doubt::likelyTooLow;
    } else if (!estimate.exact && peaksAtTheSmallestReached(probabilityTerms(means, estimate.law))) {
      doubt = Doubt::mayBeTooLow;
    }
    run.probabilityDoubts.push_back(doubt);
  }
  if (const std::string list = listed(run, Doubt::likelyTooLow); !list.empty()) {
    run.warnings.push_back("the probability at p = " + list + " is likely far too low and its RE does not show it: it" +
                           unreached);
  }
  if (exact_) {
    run.exact = true;
    run.exactCount = exactCount_;
    makeExact(run.count);
    makeExact(run.complement);
    for (SizeCount& size : run.spectrum) {
      size.reached = size.failingReached = true;  // every 0 is the answer
      makeExact(size.count);
      makeExact(size.failing);
    }
    for (ProbabilityEstimate& estimate : run.probabilities) {
      estimate.exact = true;
      makeExact(estimate.probability);
      makeExact(estimate.failure);
    }
    run.warnings.clear();
    std::fill(run.probabilityDoubts.begin(), run.probabilityDoubts.end(), Doubt::none);
    run.countDoubt = Doubt::none;
    return run;
  }
  if (const std::string list = listed(run, Doubt::mayBeTooLow); !list.empty()) {
    run.warnings.push_back("the probability at p = " + list +
                           " may be too low: it is carried by the smallest satisfying sets the run reached, and "
                           "smaller ones, if there are any, are not counted");
  }
  return run;
}

}  // namespace monocount
