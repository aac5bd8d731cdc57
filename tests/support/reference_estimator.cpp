#include "support/reference_estimator.hpp"

#include "estimation/classic/binomial_tails.hpp"
#include "estimation/numerics/mean.hpp"
#include "estimation/randomness/random_source.hpp"

#include <cmath>
#include <sstream>
#include <utility>

namespace monocount::support::reference {

PlainFormula::PlainFormula(const Problem& problem)
    : variableCount(problem.variableCount),
      clauseCount(problem.clauseCount),
      occurrences(static_cast<std::size_t>(problem.variableCount)) {
  for (std::int32_t c = 0; c < clauseCount; ++c)
    for (const std::int32_t v : problem.clause(c)) occurrences[static_cast<std::size_t>(v)].push_back(c);
}

bool runtimeRandIsReproduced() {
#if defined(__GLIBC__)
  if (RAND_MAX != 2147483647) return false;
  // The first outputs for seed 1 of the generator RandomSource reproduces.
  std::srand(1);
  const int first = std::rand();
  const int second = std::rand();
  return first == 1804289383 && second == 846930886;
#else
  return false;
#endif
}

std::int32_t PlainFormula::coverPosition(std::vector<std::int32_t> order) {
  covered.clear();
  covered.insert(covered.begin(), static_cast<std::size_t>(clauseCount), 0);
  std::int32_t touched = 0;
  for (std::int32_t j = 0; j < variableCount; ++j) {
    const std::int32_t v = order[static_cast<std::size_t>(j)];
    const std::vector<std::int32_t>& list = occurrences[static_cast<std::size_t>(v)];
    for (std::size_t e = 0; e < list.size(); ++e) {
      const std::int32_t c = list[e];
      if (covered[static_cast<std::size_t>(c)] == 0) {
        covered[static_cast<std::size_t>(c)] = 1;
        touched = touched + 1;
      }
      if (touched == clauseCount) return j;
    }
  }
  return 0;
}

double estimateModelCount(std::int32_t sampleSize, PlainFormula& formula, double& relativeError) {
  const std::int32_t n = formula.variableCount;
  const std::vector<double> tails = binomialTails(n);
  std::vector<std::int32_t> order;
  for (std::int32_t v = 0; v < n; ++v) order.push_back(v);
  std::vector<double> scores;
  RuntimeRand runtime;
  for (std::int32_t s = 0; s < sampleSize; ++s) {
    shuffleOrder(order, runtime);
    const std::int32_t q = formula.coverPosition(order);
    scores.push_back(tails[static_cast<std::size_t>(q + 1)]);
  }
  const double m = static_cast<double>(scores.size());
  const double mu = mean(scores);
  double squares = 0.0;
  for (std::size_t i = 0; i < scores.size(); ++i) {
    const double d = scores[i] - mu;
    squares = squares + d * d;
  }
  const double sigma = std::sqrt(squares / m);
  relativeError = sigma / (std::sqrt(m) * mu);
  return mean(scores);
}

std::string rowText(std::int32_t replication, double estimate, double relativeError) {
  std::ostringstream out;
  out << replication << " " << estimate << " " << relativeError;
  return out.str();
}

std::vector<ReportRow> reportRows(const Problem& problem, std::uint32_t seed, std::int32_t sampleSize,
                                  std::int32_t replications) {
  PlainFormula formula(problem);
  std::srand(seed);
  std::vector<ReportRow> rows;
  for (std::int32_t replication = 1; replication <= replications; ++replication) {
    double relativeError = 0.0;
    const double estimate = estimateModelCount(sampleSize, formula, relativeError);
    rows.push_back({estimate, relativeError, rowText(replication, estimate, relativeError)});
  }
  return rows;
}

}  // namespace monocount::support::reference
