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

// What exact and auto choose, and say, from the plan: auto takes exact where the width and the
// time allow, split otherwise; exact refuses beyond --max-width, naming the width.
TEST(Estimator, ChoosesTheMethodFromTheExactPlan) {
  struct Case {
    const char* name;
    Method asked;
    std::int32_t maxWidth;
    double secondsLimit;
    Method chosen;
    const char* said;  // the start of the reason, or a part of the refusal
  };
  const Case cases[] = {
      {"auto, narrow enough", Method::automatic, 63, 60.0, Method::exact, "auto: exact, width "},
      {"auto, too wide", Method::automatic, 2, 60.0, Method::split, "auto: split, as the exact counter refuses"},
      {"auto, too slow", Method::automatic, 63, 0.0, Method::split, "auto: split, as the exact counter would need"},
      {"exact", Method::exact, 63, 60.0, Method::exact, "exact: width "},
      {"exact, too wide", Method::exact, 2, 60.0, Method::exact, "width more than 2"},
  };
  const Problem grid = support::toProblem(support::gridVertexCover(5, 5));
  for (const Case& c : cases) {
    const EstimatorSettings settings{.method = c.asked, .maxWidth = c.maxWidth, .exactSecondsLimit = c.secondsLimit};
    const MethodChoice choice = Estimator::choose(grid, settings);
    EXPECT_EQ(choice.method, c.chosen) << c.name;
    const std::string said = choice.refusal.empty() ? choice.reason.substr(0, std::string(c.said).size()) : choice.refusal;
    EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << choice.reason << choice.refusal;
  }
}

}  // namespace
}  // namespace monocount
