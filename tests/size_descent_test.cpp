#include "estimation/splitting/size_descent.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "estimation/numerics/wide_binomials.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(SizeDescent, RootsStayWithinTheirBoundsAndRepeatOnTheSameStream) {
  // N^(n) = 1, 0 <= N^(k) <= C(n, k), nothing below the smallest size reached, and the root's
  // estimate their sum; the same stream gives the same root.
  const support::Formula f = support::gridVertexCover(5, 4);
  const Problem problem = support::toProblem(f);
  const OccurrenceTable table(problem);
  const std::vector<WideReal> binomials = wideBinomialRow(f.variables);
  SizeDescent descent(problem, table, {});
  SplitEngine engine(3);
  SplitEngine again(3);
  for (int root = 0; root < 50; ++root) {
    std::vector<WideReal> sizes(static_cast<std::size_t>(f.variables) + 1);
    const WideReal estimate = descent.run(engine, sizes);
    EXPECT_EQ(descent.run(again), estimate);
    EXPECT_EQ(sizes.back(), WideReal(1.0));
    WideReal sum;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      EXPECT_FALSE(sizes[k].isNegative());
      EXPECT_LE(sizes[k], binomials[k] * WideReal(1.0 + 1e-12)) << k;
      if (static_cast<std::int32_t>(k) < descent.smallestSize()) {
        EXPECT_TRUE(sizes[k].isZero()) << k;
      }
      sum += sizes[k];
    }
    EXPECT_NEAR((sum / estimate).toDouble(), 1.0, 1e-12);
    EXPECT_GE(descent.smallestSize(), 10);  // the minimum vertex cover of the 5 x 4 grid
  }
}

}  // namespace
}  // namespace monocount
