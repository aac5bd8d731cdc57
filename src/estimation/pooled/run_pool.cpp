#include "estimation/pooled/run_pool.hpp"

#include <algorithm>
#include <cmath>
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

// Whether the probability with these per-size terms may rest on satisfying sets smaller than
// any the run reached. Two conditions, both needed:
//   - the largest term lies within two sizes of k0, the smallest size with a positive estimate
//     (above size 1: no satisfying set of a formula with clauses is smaller): the terms that
//     carry the probability are at the bottom of what was reached;
//   - the run's draws at k0 do not rule out a satisfying set of k0 - 1 variables. Such a set U
//     would make the n - k0 + 1 sets U + y satisfying sets of k0 variables with a removable
//     member, a share s >= (n - k0 + 1) / N(k0) of them; the descent went no lower, so every
//     set it drew at k0 had none. Taking the draws at k0 as about M = 1 / RE(N(k0))^2
//     independent ones, that has chance about exp(-M s): ruled out when M s >= 20 (and at once
//     when N(k0) + 4 standard errors is below n - k0 + 1, s above 1). Without an RE (one
//     replication) only the latter rules it out.
bool mayRestOnUnreachedSizes(const std::vector<WideReal>& terms, const std::vector<SizeCount>& sizes) {
  std::size_t smallest = 0;
  while (smallest < terms.size() && !(terms[smallest] > WideReal(0.0))) ++smallest;
  if (smallest <= 1 || smallest >= terms.size() || smallest >= sizes.size()) return false;
  std::size_t largest = smallest;
  for (std::size_t k = smallest; k < terms.size(); ++k) {
    if (terms[k] > terms[largest]) largest = k;
  }
  if (largest > smallest + 2) return false;
  const PooledValue& count = sizes[smallest].count;
  const double supersets = static_cast<double>(terms.size() - smallest);  // n - k0 + 1
  const double relativeError = count.relativeError && std::isfinite(*count.relativeError) ? *count.relativeError : 0.0;
  const double atMost = count.mean.toDouble() * (1.0 + 4.0 * relativeError);
  if (atMost < supersets) return false;
  if (!(relativeError > 0.0)) return true;
  const double draws = 1.0 / (relativeError * relativeError);
  return draws * supersets / count.mean.toDouble() < 20.0;
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
    } else if (!estimate.exact && mayRestOnUnreachedSizes(probabilityTerms(means, estimate.law), sizes)) {
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
