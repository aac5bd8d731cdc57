#include "estimation/classic/evolution_estimator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Clauses;
using support::Formula;

struct Sides {
  long double holds = 0.0L;
  long double fails = 0.0L;
};

// Both sides exactly, by every assignment of the variables that appear in a clause (the first
// `used` ones) with its chance, each side summed on its own.
Sides enumerated(const Formula& formula, std::int32_t used, const std::vector<double>& falsity) {
  Sides sides;
  for (std::uint32_t set = 0; set < (1u << used); ++set) {
    long double chance = 1.0L;
    for (std::int32_t v = 0; v < used; ++v) {
      const double f = falsity[static_cast<std::size_t>(v)];
      chance *= (set >> v & 1) != 0 ? 1.0L - f : static_cast<long double>(f);
    }
    bool holds = true;
    for (const auto& clause : formula.clauses) {
      bool touched = false;
      for (const std::int32_t v : clause) touched = touched || (set >> v & 1) != 0;
      holds = holds && touched;
    }
    (holds ? sides.holds : sides.fails) += chance;
  }
  return sides;
}

VariableProbabilities lawOf(const std::vector<double>& falsity) {
  std::vector<double> truth;
  for (const double f : falsity) truth.push_back(1.0 - f);
  return VariableProbabilities::perVariable(truth, falsity);
}

TEST(EvolutionEstimator, BothSidesAreUnbiasedAndTheSameOnAnyNumberOfThreads) {
  const std::vector<double> mixed = {0.3, 0.9, 0.5, 0.05, 0.7, 0.2, 0.6, 0.45, 0.85, 0.1};
  const Formula random = support::randomMonotoneCnf(10, 15, 3, 4);
  Formula padded = random;  // 70 variables, 60 of them in no clause: the walk by positions
  padded.variables = 70;
  std::vector<double> paddedChances = mixed;
  paddedChances.resize(70, 0.5);
  const struct {
    const char* name;
    Formula formula;
    std::int32_t used;  // the variables in clauses are 0 .. used - 1
    std::vector<double> falsity;
  } cases[] = {
      {"a path of four, chances apart", {4, {{0, 1}, {1, 2}, {2, 3}}}, 4, {0.3, 0.9, 0.5, 0.05}},
      {"random 3-CNF, chances apart", random, 10, mixed},
      {"random 3-CNF among 70 variables", padded, 10, paddedChances},
      {"one chance for all", random, 10, std::vector<double>(10, 0.4)},
      {"one variable true with chance 1e-9", {3, {{0, 1}, {1, 2}}}, 3, {1.0 - 1e-9, 0.5, 0.2}},
      {"chances near 1: fails about 3e-12", {4, {{0, 1}, {2, 3}, {0, 2}}}, 4, std::vector<double>(4, 1e-6)},
  };
  for (const auto& c : cases) {
    const Problem problem = support::toProblem(c.formula);
    const Sides exact = enumerated(c.formula, c.used, c.falsity);
    EvolutionEstimator one(problem, lawOf(c.falsity), 5, Parallelism{.threads = 1});
    EvolutionEstimator three(problem, lawOf(c.falsity), 5, Parallelism{.threads = 3});
    const Replication row = one.estimateModelCount(20000);
    const Replication again = three.estimateModelCount(20000);
    ASSERT_EQ(row.laws.size(), 1u) << c.name;
    const LawAnswer& answer = row.laws[0];
    EXPECT_NEAR(answer.holds.toDouble(), static_cast<double>(exact.holds),
                4 * answer.holdsRelativeError * answer.holds.toDouble())
        << c.name;
    EXPECT_NEAR(answer.fails.toDouble(), static_cast<double>(exact.fails),
                4 * answer.failsRelativeError * answer.fails.toDouble())
        << c.name;
    EXPECT_TRUE(again.estimate == row.estimate && again.complement == row.complement &&
                again.complementRelativeError == row.complementRelativeError)
        << c.name;
  }
}

TEST(EvolutionEstimator, RefusesFormulasDecidedWithoutSampling) {
  for (const Formula& formula : {Formula{2, {}}, Formula{2, {{0}, {}}}}) {
    EXPECT_THROW(EvolutionEstimator(support::toProblem(formula), VariableProbabilities::uniform(0.5), 1, {}),
                 std::invalid_argument);
  }
}

TEST(EvolutionEstimator, AnInterruptionStopsSamplingAndMarksTheReplication) {
  StopRequest stop;
  stop.interrupt();
  const Problem problem = support::toProblem({2, {{0, 1}}});
  EvolutionEstimator estimator(problem, VariableProbabilities::uniform(0.5), 1, Parallelism{.threads = 2, .stop = &stop});
  EXPECT_EQ(estimator.estimateModelCount(100000).stopped, StopReason::interrupted);
}

}  // namespace
}  // namespace monocount
