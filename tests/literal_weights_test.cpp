#include "problem/literal_weights.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace monocount {
namespace {

TEST(LiteralWeights, GiveALawAndAFactorInExtendedRange) {
  const VariableWeight reliable{.variable = 0, .truth = 0.999, .falsity = 0.001, .total = 1.0L};
  const auto at = [](VariableWeight weight, std::int32_t variable) {
    weight.variable = variable;
    return weight;
  };
  const VariableWeight heavy{.variable = 0, .truth = 0.25, .falsity = 0.75, .total = 1e300L};
  const VariableWeight zero{.variable = 1, .truth = 0.5, .falsity = 0.5, .total = 0.0L};
  const struct {
    const char* name;
    std::int32_t variables;
    std::vector<VariableWeight> weighted;
    bool uniform;
    double truthOfLast;
    long double log2Factor;  // -inf for 0
  } cases[] = {
      {"no weights", 3, {}, true, 0.5, 3},
      {"beyond a double", 3000, {}, true, 0.5, 3000},
      {"one weight for all", 2, {reliable, at(reliable, 1)}, true, 0.999, 0},
      {"some unweighted", 3, {at(reliable, 1)}, false, 0.5, 2},
      {"last weighted", 3, {at(reliable, 2)}, false, 0.999, 2},
      {"totals multiply", 4, {heavy, at(heavy, 1), at(heavy, 2)}, false, 0.5, 1 + 900 * std::log2(10.0L)},
      {"both weights 0", 2, {zero}, true, 0.5, -INFINITY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const LiteralWeights weights(c.variables, c.weighted);
    const VariableProbabilities law = weights.law();
    EXPECT_EQ(law.isUniform(), c.uniform);
    EXPECT_EQ(law.truth(c.variables - 1), c.truthOfLast);
    const ScaledNumber factor = weights.factor();
    const long double log2 = std::log2(factor.mantissa) + static_cast<long double>(factor.exponent);
    if (std::isinf(c.log2Factor))
      EXPECT_EQ(factor.mantissa, 0.0L);
    else
      EXPECT_NEAR(static_cast<double>(log2), static_cast<double>(c.log2Factor), 1e-12);
  }
}

}  // namespace
}  // namespace monocount
