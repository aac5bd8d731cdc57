#include "estimation/exact/exact_plan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(ExactPlan, KeepsTheCheapestOrderOrSaysWhyNot) {
  struct Case {
    support::Formula formula;
    ExactSettings settings;
    std::string refusal;  // a part of the message, empty when the plan may run
  };
  ExactSettings narrow;
  narrow.maxWidth = 5;
  ExactSettings small;
  small.memoryLimit = 20000;
  const Case cases[] = {
      {support::gridVertexCover(12, 9), {}, ""},
      {support::torusVertexCover(5, 6), {}, ""},
      {support::gridVertexCover(12, 9), narrow, "width more than 5 (one reached 6)"},
      {{8, {{0, 1, 2, 3, 4, 5, 6}}}, narrow, "a clause holds 7 variables"},
      {support::gridVertexCover(12, 9), small, "and 20 kB are allowed"},
  };
  for (const Case& c : cases) {
    const ExactPlan plan = planExact(support::toProblem(c.formula), c.settings);
    if (!c.refusal.empty()) {
      EXPECT_NE(plan.refusal.find(c.refusal), std::string::npos) << plan.refusal;
      EXPECT_FALSE(plan.tree);
      continue;
    }
    double cheapest = 1e300;
    for (const DecompositionCandidate& candidate : plan.candidates) {
      if (candidate.complete) cheapest = std::min(cheapest, candidate.seconds);
    }
    EXPECT_EQ(plan.refusal, "");
    EXPECT_EQ(plan.seconds, cheapest);
    ASSERT_TRUE(plan.tree);
    EXPECT_EQ(plan.tree->width(), plan.width);
  }
}

}  // namespace
}  // namespace monocount
