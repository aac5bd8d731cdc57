#include "estimation/estimator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Clauses;

// Every way the driver can run replications: crude on its classic sequence and on block
// streams, and split.
const EstimatorSettings kEveryMethod[] = {
    {.method = Method::crude, .seed = 7},
    {.method = Method::crude, .seed = 7, .blockStreams = true, .parallelism = {.threads = 3}},
    {.method = Method::split, .seed = 7, .spectrum = true},
};

// Formulas whose count needs no sampling are answered exactly by every method, and a
// replication of no samples is NaN whatever the formula.
TEST(Estimator, DecidesKnownCountsAndEmptyReplicationsForEveryMethod) {
  struct Case {
    const char* name;
    std::int32_t variables;
    Clauses clauses;
    WideReal count;
  };
  const Case cases[] = {
      {"no clauses: every assignment", 3, {}, 8.0},
      {"no clauses, 2000 variables: exactly 2^2000", 2000, {}, WideReal::powerOfTwo(2000)},
      {"an empty clause: no assignment", 3, {{0, 1}, {}}, 0.0},
      {"only an empty clause", 10, {{}}, 0.0},
  };
  for (const EstimatorSettings& settings : kEveryMethod) {
    const std::string method = std::string(methodEntry(settings.method).name) + (settings.blockStreams ? " (blocks)" : "");
    for (const Case& c : cases) {
      const Problem problem = support::toProblem({c.variables, c.clauses});
      Estimator estimator(problem, settings);
      for (const std::int32_t sampleSize : {1, 500}) {
        const Replication row = estimator.estimateModelCount(sampleSize);
        EXPECT_EQ(row.estimate, c.count) << method << ", " << c.name;
        EXPECT_EQ(row.relativeError, 0.0) << method << ", " << c.name;
      }
    }
    for (const Clauses& clauses : {Clauses{{0}}, Clauses{}, Clauses{{}}}) {
      const Problem problem = support::toProblem({2, clauses});
      Estimator estimator(problem, settings);
      for (const std::int32_t sampleSize : {0, -5}) {
        const Replication row = estimator.estimateModelCount(sampleSize);
        EXPECT_TRUE(row.estimate.isNaN() && std::isnan(row.relativeError)) << method;
      }
    }
  }
}

}  // namespace
}  // namespace monocount
