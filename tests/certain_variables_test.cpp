#include "problem/certain_variables.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Clauses;
using Outcome = CertainVariablesRemoved::Outcome;

TEST(RemoveCertainVariables, KeepsTheChanceThatTheFormulaHolds) {
  // Chances of true per variable: 1 always true, 0 always false, 0.3 uncertain; {} a uniform 0.3.
  const struct {
    const char* name;
    support::Formula formula;
    std::vector<double> truth;
    Outcome outcome;
    Clauses clauses;  // when uncertain, renumbered
    std::vector<double> remainingTruth;
  } cases[] = {
      {"nothing certain", {3, {{0, 1}, {1, 2}}}, {0.3, 0.3, 0.3}, Outcome::uncertain, {{0, 1}, {1, 2}}, {0.3, 0.3, 0.3}},
      {"uniform keeps all", {3, {{0, 1}, {1, 2}}}, {}, Outcome::uncertain, {{0, 1}, {1, 2}}, {0.3, 0.3, 0.3}},
      {"true satisfies", {3, {{0, 1}, {1, 2}}}, {0.3, 1, 0.3}, Outcome::alwaysHolds, {}, {}},
      {"true and false leave", {4, {{0, 1}, {1, 2, 3}, {0, 3}}}, {0.3, 0, 0.3, 1}, Outcome::uncertain, {{0}}, {0.3, 0.3}},
      {"false empties a clause", {3, {{0, 1}, {2}}}, {0.3, 0.3, 0}, Outcome::neverHolds, {}, {}},
      {"empty clause", {2, {{0}, {}}}, {0.3, 0.3}, Outcome::neverHolds, {}, {}},
      {"no clauses", {2, {}}, {0.3, 0.3}, Outcome::alwaysHolds, {}, {}},
      {"uniform true", {2, {{0, 1}}}, {1, 1}, Outcome::alwaysHolds, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<double> falsity;
    for (const double p : c.truth) falsity.push_back(1 - p);
    const VariableProbabilities law =
        c.truth.empty() ? VariableProbabilities::uniform(0.3) : VariableProbabilities::perVariable(c.truth, falsity);
    const CertainVariablesRemoved removed = removeCertainVariables(support::toProblem(c.formula), law);
    EXPECT_EQ(removed.outcome, c.outcome);
    if (c.outcome != Outcome::uncertain) continue;
    EXPECT_EQ(support::clausesOf(removed.problem), c.clauses);
    ASSERT_EQ(removed.problem.variableCount, static_cast<std::int32_t>(c.remainingTruth.size()));
    for (std::int32_t v = 0; v < removed.problem.variableCount; ++v)
      EXPECT_EQ(removed.law.truth(v), c.remainingTruth[static_cast<std::size_t>(v)]) << v;
  }
}

}  // namespace
}  // namespace monocount
