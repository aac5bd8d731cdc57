#include "estimation/pooled/reach_check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "estimation/estimator.hpp"
#include "support/enumeration.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

// The cover lengths of `replications` crude replications of `sampleSize` samples, seed 1.
CoverLengthCounts pooledLengths(const Problem& problem, std::int32_t sampleSize, int replications) {
  Estimator estimator(problem, {.method = Method::crude, .seed = 1});
  CoverLengthCounts pooled;
  for (int r = 0; r < replications; ++r) pooled.add(estimator.estimateModelCount(sampleSize).coverLengths);
  return pooled;
}

TEST(ReachCheck, FiresWhereCrudeFallsShortAndOnlyThere) {
  struct Case {
    const char* name;
    support::Formula formula;
    std::int32_t sampleSize;
    std::optional<double> p;  // the count when absent
    bool fires;
  };
  const Case cases[] = {
      {"12 x 12 grid (crude 69 % low)", support::gridVertexCover(12, 12), 10000, {}, true},
      {"10 x 10 grid (crude 26 % low)", support::gridVertexCover(10, 10), 10000, {}, true},
      // The terms peak three lengths above the shortest sampled, and about 9 % of the count
      // lies where the samples rarely reach: the estimates of 10 seeds run from 25 % low to
      // 28 % high (the 10 x 10 grid at 10^7 samples looks like this).
      {"8 x 8 grid", support::gridVertexCover(8, 8), 10000, {}, true},
      {"6 x 6 grid", support::gridVertexCover(6, 6), 10000, {}, false},
      {"random 3-CNF, 40 variables, 400 clauses", support::randomDistinct3Cnf(40, 400, 1), 10000, {}, false},
      {"random 3-CNF, 50 variables, 250 clauses", support::randomDistinct3Cnf(50, 250, 1), 10000, {}, false},
      {"random 3-CNF 40/400, 10 x 1000 samples", support::randomDistinct3Cnf(40, 400, 1), 1000, {}, false},
      // The minimum cover (8) is sampled often; the terms peak at 10 and 11, two sizes above it.
      {"matching of 8 pairs", support::matching(8), 10000, {}, false},
      // Every order covers at its first variable: there is no shorter length to miss.
      {"one clause of two variables", {2, {{0, 1}}}, 10, {}, false},
      // Every order covers at n - 1, the largest term; nothing shorter covers.
      {"complete graph K_12", support::completeGraphVertexCover(12), 100, {}, false},
      // The count peaks well above the shortest sampled length, but the probability at p = 0.3
      // is carried by the smallest covers, which crude does not reach.
      {"6 x 6 grid, p = 0.3", support::gridVertexCover(6, 6), 10000, 0.3, true},
      {"6 x 6 grid, p = 0.9", support::gridVertexCover(6, 6), 10000, 0.9, false},
      {"6 x 6 grid, p = 0 (exact)", support::gridVertexCover(6, 6), 10000, 0.0, false},
  };
  for (const Case& c : cases) {
    const Problem problem = support::toProblem(c.formula);
    const std::optional<VariableProbabilities> law =
        c.p ? std::optional(VariableProbabilities::uniform(*c.p)) : std::nullopt;
    EXPECT_EQ(restsOnUnreachedLengths(pooledLengths(problem, c.sampleSize, 10), problem.variableCount,
                                      law ? &*law : nullptr),
              c.fires)
        << c.name;
  }
  EXPECT_FALSE(restsOnUnreachedLengths({}, 4));
}

TEST(ReachCheck, ShareIsWhatTheRunIsExpectedToMiss) {
  // On the 4 x 5 grid, against its covers counted by size: the share of the answer at lengths
  // no sample reaches, sum_k t(k) e^-(S N(k) / C(n, k)) over sum_k t(k), t(k) = N(k) weight(k).
  const support::Formula grid = support::gridVertexCover(4, 5);
  const Problem problem = support::toProblem(grid);
  const std::vector<std::uint64_t> covers = support::coversBySize(grid);
  const std::int32_t n = problem.variableCount;
  struct Case {
    std::int32_t sampleSize;
    int replications;
    std::optional<double> p;  // the count when absent
  };
  for (const Case c : {Case{100, 3, {}}, Case{1000, 1, {}}, Case{10000, 1, 0.3}}) {
    const double p = c.p.value_or(0.5);  // the count's terms are weighed alike
    const double samples = static_cast<double>(c.sampleSize) * c.replications;
    double missed = 0.0, total = 0.0;
    for (std::int32_t k = 0; k <= n; ++k) {
      const double binomial = std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0));
      const double term = static_cast<double>(covers[static_cast<std::size_t>(k)]) * std::pow(p, k) * std::pow(1 - p, n - k);
      total += term;
      missed += term * std::exp(-samples * static_cast<double>(covers[static_cast<std::size_t>(k)]) / binomial);
    }
    const VariableProbabilities law = VariableProbabilities::uniform(p);
    const double share = unreachedShare(pooledLengths(problem, c.sampleSize, c.replications), n, c.p ? &law : nullptr);
    EXPECT_NEAR(std::log(share / (missed / total)), 0.0, std::log(1.5)) << samples << " samples, p = " << p;
  }
}

}  // namespace
}  // namespace monocount
