#include "estimation/pooled/size_counts.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "estimation/estimator.hpp"
#include "estimation/numerics/wide_binomials.hpp"
#include "support/enumeration.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Formula;

// The pooled spectrum of R replications of N samples.
std::vector<SizeCount> spectrumOf(const Formula& formula, Method method, std::int32_t sampleSize, int replications) {
  const Problem problem = support::toProblem(formula);
  Estimator estimator(problem, {.method = method, .seed = 11, .spectrum = true});
  const std::vector<WideReal> binomials = wideBinomialRow(formula.variables);
  SizeCountPool pool(binomials.size());
  for (int r = 0; r < replications; ++r) {
    const Replication replication = estimator.estimateModelCount(sampleSize);
    const std::vector<WideReal> sizes = sizeEstimates(replication, binomials);
    pool.add(sizes, failingSizeEstimates(replication, sizes, binomials));
  }
  return pool.result();
}

TEST(SizeCounts, EverySizeAgreesWithEnumeration) {
  // Each N(k) within four of its standard errors (from the spread of 8 replications); sizes
  // below the minimum cover, which hold no cover, are never reached. Counts near the top are
  // exact for crude (every sample covers there) and may be for split.
  const Formula formulas[] = {support::gridVertexCover(4, 3), support::matching(6),
                              support::randomMixedCnf(14, 30, 3, 4)};
  for (const Formula& formula : formulas) {
    const std::vector<std::uint64_t> truth = support::coversBySize(formula);
    for (const Method method : {Method::crude, Method::split}) {
      // A split root is a whole descent: a tenth of crude's samples gives it a like spread.
      const std::vector<SizeCount> sizes = spectrumOf(formula, method, method == Method::split ? 400 : 4000, 8);
      ASSERT_EQ(sizes.size(), truth.size());
      const std::vector<WideReal> binomials = wideBinomialRow(formula.variables);
      for (std::size_t k = 0; k < sizes.size(); ++k) {
        const std::string where = "method " + std::to_string(static_cast<int>(method)) + ", k = " + std::to_string(k);
        // The failing sets of each size, estimated on their own.
        const double failing = binomials[k].toDouble() - static_cast<double>(truth[k]);
        if (failing > 0) {
          ASSERT_TRUE(sizes[k].failingReached && sizes[k].failing.standardError) << where;
          EXPECT_NEAR(sizes[k].failing.mean.toDouble(), failing, 4 * sizes[k].failing.standardError->toDouble() + 1e-9 * failing)
              << where;
        }
        if (truth[k] == 0) {
          EXPECT_FALSE(sizes[k].reached) << where;
          continue;
        }
        ASSERT_TRUE(sizes[k].reached && sizes[k].count.standardError) << where;
        const double estimate = sizes[k].count.mean.toDouble();
        EXPECT_NEAR(estimate, static_cast<double>(truth[k]), 4 * sizes[k].count.standardError->toDouble() + 1e-9 * estimate)
            << where;
      }
    }
  }
}

TEST(SizeCounts, SplitSizesAddUpToItsEstimateAndDoNotChangeIt) {
  const Problem problem = support::toProblem(support::gridVertexCover(5, 4));
  Estimator plain(problem, {.method = Method::split, .seed = 3});
  Estimator sized(problem, {.method = Method::split, .seed = 3, .spectrum = true});
  for (int r = 0; r < 2; ++r) {
    const Replication without = plain.estimateModelCount(500);
    const Replication with = sized.estimateModelCount(500);
    EXPECT_EQ(with.estimate, without.estimate);
    EXPECT_TRUE(without.sizeEstimates.empty());
    WideReal sum;
    for (const WideReal& size : with.sizeEstimates) sum += size;
    EXPECT_NEAR((sum / with.estimate).toDouble(), 1.0, 1e-12);
  }
}

TEST(SizeCounts, CountsKnownWithoutSamplingAreExact) {
  // No clauses: N(k) = C(n, k); an empty clause: 0 everywhere, which is then the answer.
  for (const Method method : {Method::crude, Method::split}) {
    const std::vector<SizeCount> free = spectrumOf({5, {}}, method, 10, 2);
    const std::vector<SizeCount> none = spectrumOf({3, {{0, 1}, {}}}, method, 10, 2);
    for (std::size_t k = 0; k < free.size(); ++k) {
      EXPECT_TRUE(free[k].reached);
      EXPECT_EQ(free[k].count.mean.toDouble(), std::round(wideBinomialRow(5)[k].toDouble()));
      EXPECT_EQ(*free[k].count.relativeError, 0.0);
    }
    for (const SizeCount& size : none) EXPECT_TRUE(size.reached && size.count.mean.isZero());
  }
}

TEST(CoverLengthCounts, MergeAlignsTheirRanges) {
  CoverLengthCounts merged;
  merged.add({5, {1, 2}, 3});
  merged.add({3, {4}, 4});
  merged.add({7, {0, 1}, 1});
  merged.add({0, {}, 2});  // samples without a cover length
  EXPECT_EQ(merged.first, 3);
  EXPECT_EQ(merged.counts, (std::vector<std::uint64_t>{4, 0, 1, 2, 0, 1}));
  EXPECT_EQ(merged.samples, 10u);
  EXPECT_EQ(merged.shortest(), 3);
}

}  // namespace
}  // namespace monocount
