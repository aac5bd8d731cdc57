#include "estimation/classic/block_stream_estimator.hpp"
#include "estimation/classic/classic_sequence_estimator.hpp"
#include "estimation/estimator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Clauses;

Problem makeProblem(std::int32_t variables, const Clauses& clauses) { return support::toProblem({variables, clauses}); }

// One replication of crude on the classic sequence, through the estimator the driver uses (which
// decides the formulas that need no sampling).
Replication replicate(const Problem& problem, std::int32_t sampleSize, std::uint32_t seed = 7) {
  return Estimator(problem, {.method = Method::crude, .seed = seed}).estimateModelCount(sampleSize);
}

// The same on block streams, on three workers.
Replication replicateOnBlocks(const Problem& problem, std::int32_t sampleSize) {
  return Estimator(problem, {.method = Method::crude, .seed = 7, .blockStreams = true, .parallelism = {.threads = 3}})
      .estimateModelCount(sampleSize);
}

TEST(CrudeEstimators, FormulasWhoseOrdersAllScoreAlikeGiveExactCounts) {
  struct Case {
    const char* name;
    std::int32_t variables;
    Clauses clauses;
    double count;
  };
  const Case cases[] = {
      {"one clause holding both variables", 2, {{0, 1}}, 3.0},
      {"the clauses (x1) and (x2)", 2, {{0}, {1}}, 1.0},
      {"one variable", 1, {{0}}, 1.0},
      {"a unit clause per variable", 40, [] { Clauses c; for (int v = 0; v < 40; ++v) c.push_back({v}); return c; }(), 1.0},
  };
  for (const Case& c : cases) {
    const Problem problem = makeProblem(c.variables, c.clauses);
    for (const std::int32_t sampleSize : {1, 1000}) {
      for (const Replication& row : {replicate(problem, sampleSize), replicateOnBlocks(problem, sampleSize)}) {
        EXPECT_EQ(row.estimate.toDouble(), c.count) << c.name;
        EXPECT_EQ(row.relativeError, 0.0) << c.name;
      }
    }
  }
}

TEST(CrudeEstimators, SingleUnitClauseScoresByTheFirstVariable) {
  // (x1) over two variables: an order starting with x1 scores 3, the other 1; the count is 2.
  const Problem problem = makeProblem(2, {{0}});
  const Replication row = replicate(problem, 100000);
  const double estimate = row.estimate.toDouble();
  const double fraction = (estimate - 1.0) / 2.0;  // share of orders starting with x1
  EXPECT_EQ(std::fmod(estimate * 100000.0, 1.0), 0.0);
  EXPECT_NEAR(fraction, 0.5, 0.01);
  EXPECT_NEAR(estimate, 2.0, 5 * row.relativeError * estimate);
}

TEST(CrudeEstimators, ReplicationsContinueOneSequence) {
  // Two replications from one source differ; a fresh source repeats the first.
  const Problem problem = support::toProblem(support::randomMonotoneCnf(12, 20, 3, 5));
  ClassicSequenceEstimator estimator(problem, 99);
  const Replication a = estimator.estimateModelCount(500);
  const Replication b = estimator.estimateModelCount(500);
  EXPECT_FALSE(a.estimate == b.estimate);
  const Replication again = replicate(problem, 500, 99);
  EXPECT_EQ(again.estimate, a.estimate);
  EXPECT_EQ(again.relativeError, a.relativeError);
}

TEST(CrudeEstimators, CountsBeyondTheDoubleRangeStayFinite) {
  // Every order of one clause holding all 1500 variables covers at once: 2^1500 - 1 exactly
  // where the classic table holds +inf.
  Clauses all(1);
  for (int v = 0; v < 1500; ++v) all[0].push_back(v);
  const Problem problem = makeProblem(1500, all);
  for (const Replication& row : {replicate(problem, 50), replicateOnBlocks(problem, 50)}) {
    std::ostringstream printed;
    printed << row.estimate;
    EXPECT_EQ(printed.str(), "3.50747e+451");
    EXPECT_EQ(row.relativeError, 0.0);
  }
}

TEST(CrudeEstimators, LargeGridGivesFinitePositiveEstimatesAndErrors) {
  // The 60 x 60 grid: scores reach 1e900, and their squares far more.
  const Problem problem = support::toProblem(support::gridVertexCover(60, 60));
  ClassicSequenceEstimator classic(problem, 3);
  BlockStreamEstimator blocks(problem, 3, Parallelism{.threads = 2});
  for (int replication = 0; replication < 2; ++replication) {
    for (const Replication& row : {classic.estimateModelCount(200), blocks.estimateModelCount(200)}) {
      const WideReal estimate = row.estimate;
      const double relativeError = row.relativeError;
      EXPECT_TRUE(estimate.isFinite());
      EXPECT_GT(estimate, WideReal(1.0));
      EXPECT_TRUE(std::isfinite(relativeError));
      EXPECT_GT(relativeError, 0.0);
      EXPECT_LT(relativeError, 1.0);
    }
  }
}

TEST(CrudeEstimators, BlockStreamsGiveTheSameRowsOnAnyNumberOfThreads) {
  // Several blocks per replication in each case (n = 12: 5462 samples a block; n = 400: 164).
  const struct {
    support::Formula formula;
    std::int32_t sampleSize;
  } cases[] = {{support::randomMonotoneCnf(12, 20, 3, 5), 20000},
               {support::gridVertexCover(20, 20), 2000},
               {support::randomMonotoneCnf(300, 1200, 3, 2), 2000}};
  for (const auto& [formula, sampleSize] : cases) {
    const Problem problem = support::toProblem(formula);
    BlockStreamEstimator one(problem, 11, Parallelism{.threads = 1});
    BlockStreamEstimator two(problem, 11, Parallelism{.threads = 2});
    BlockStreamEstimator five(problem, 11, Parallelism{.threads = 5});
    for (int replication = 0; replication < 3; ++replication) {
      const Replication expected = one.estimateModelCount(sampleSize);
      for (BlockStreamEstimator* estimator : {&two, &five}) {
        const Replication row = estimator->estimateModelCount(sampleSize);
        EXPECT_EQ(row.estimate, expected.estimate) << formula.variables << " variables";
        EXPECT_EQ(row.relativeError, expected.relativeError) << formula.variables << " variables";
        EXPECT_EQ(row.coverLengths.first, expected.coverLengths.first) << formula.variables << " variables";
        EXPECT_EQ(row.coverLengths.counts, expected.coverLengths.counts) << formula.variables << " variables";
      }
    }
  }
}

}  // namespace
}  // namespace monocount
