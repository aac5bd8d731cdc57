#include "support/reference_estimator.hpp"

#include <cmath>
#include <cstdlib>
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

namespace {

// One chunk: rand() results above the mask are discarded.
std::uint32_t chunkDraw(std::uint32_t mask) {
  for (;;) {
    const auto value = static_cast<std::uint32_t>(std::rand());
    if (value <= mask) return value;
  }
}

}  // namespace

std::uint32_t uniformBelow(std::uint32_t bound) {
  // The widest chunk whose every value rand() can return.
  std::uint32_t width = 32;
  std::uint32_t chunkMask = 0xFFFFFFFFu;
  while (chunkMask > static_cast<std::uint32_t>(RAND_MAX)) {
    chunkMask = chunkMask >> 1;
    width = width - 1;
  }
  for (;;) {
    std::uint32_t ret = 0;
    std::uint32_t mask = 0;
    while (mask < bound - 1) {
      // A shift by the full 32 bits would be undefined; it only happens with a 32-bit chunk,
      // where one chunk already covers every bound.
      ret = (width < 32 ? ret << width : 0u) | chunkDraw(chunkMask);
      mask = (width < 32 ? mask << width : 0u) | chunkMask;
    }
    if (ret / bound < mask / bound || mask % bound == bound - 1) return ret % bound;
  }
}

void shuffleOrder(std::vector<std::int32_t>& order) {
  if (order.size() < 2) return;
  for (std::size_t p = 1; p < order.size(); ++p) {
    const std::uint32_t i = static_cast<std::uint32_t>(p + 1);
    const std::uint32_t r = uniformBelow(i);
    std::swap(order[p], order[r]);
  }
}

std::vector<double> binomialTails(std::int32_t n) {
  std::vector<double> row;
  for (std::int32_t k = 0; k <= n; ++k) {
    const std::int32_t r = k < n - k ? k : n - k;
    double c = 1.0;
    for (std::int32_t i = 1; i <= r; ++i) c = (static_cast<double>(n - i + 1) * c) / static_cast<double>(i);
    row.push_back(c);
  }
  std::vector<double> tails;
  for (std::int32_t k = 0; k <= n; ++k) {
    double t = 0.0;
    for (std::int32_t j = k; j <= n; ++j) t = t + row[static_cast<std::size_t>(j)];
    tails.push_back(t);
  }
  return tails;
}

double mean(const std::vector<double>& values) {
  const double count = static_cast<double>(values.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) sum = sum + values[i];
  return sum / count;
}

double estimateModelCount(std::int32_t sampleSize, PlainFormula& formula, double& relativeError) {
  const std::int32_t n = formula.variableCount;
  const std::vector<double> tails = binomialTails(n);
  std::vector<std::int32_t> order;
  for (std::int32_t v = 0; v < n; ++v) order.push_back(v);
  std::vector<double> scores;
  for (std::int32_t s = 0; s < sampleSize; ++s) {
    shuffleOrder(order);
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
