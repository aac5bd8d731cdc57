#include "estimation/known_count.hpp"

#include <stdexcept>

namespace monocount {

std::optional<WideReal> knownCount(const Problem& problem) {
  if (problem.clauseCount == 0) return WideReal::powerOfTwo(problem.variableCount);
  if (!problem.everyClauseTouchable()) return WideReal(0.0);
  return std::nullopt;
}

Replication knownReplication(const Problem& problem, const WideReal& count, std::int32_t sampleSize) {
  Replication exact;
  exact.estimate = count;
  exact.relativeError = 0.0;
  exact.coverLengths.samples = static_cast<std::uint64_t>(sampleSize);
  if (problem.clauseCount == 0) exact.coverLengths.counts.assign(1, static_cast<std::uint64_t>(sampleSize));
  return exact;
}

const Problem& needsSampling(const Problem& problem) {
  if (knownCount(problem)) {
    throw std::invalid_argument("the estimators sample formulas with at least one clause and no empty clause");
  }
  return problem;
}

}  // namespace monocount
