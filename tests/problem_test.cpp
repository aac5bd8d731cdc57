#include "problem/problem.hpp"

#include <gtest/gtest.h>

#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(ProblemEveryClauseTouchable, IsFalseExactlyWithAnEmptyClause) {
  const struct {
    support::Formula formula;
    bool touchable;
  } cases[] = {
      {{2, {{0, 0}, {1}}}, true},
      {{2, {{0, 1}, {}, {1}}}, false},  // the middle clause holds no variable
      {{2, {}}, true},                 // no clause at all
  };
  for (const auto& c : cases) EXPECT_EQ(support::toProblem(c.formula).everyClauseTouchable(), c.touchable);
}

}  // namespace
}  // namespace monocount
