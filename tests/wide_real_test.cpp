#include "estimation/numerics/wide_real.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

namespace monocount {
namespace {

std::string printed(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

TEST(WideReal, FitsDoublePrintsAsTheStreamPrintsTheDouble) {
  const double cases[] = {0.0, -0.0, 1.0, 3.0, 0.1, 123456.5, 1234567.0, 2.5e-5, 1e300, DBL_MAX, -7.25,
                          std::numeric_limits<double>::infinity(), std::nan("")};
  for (double value : cases) {
    std::ostringstream out;
    out << WideReal(value);
    EXPECT_EQ(out.str(), printed(value)) << value;
    if (std::isfinite(value)) {
      EXPECT_EQ(WideReal(value).toDouble(), value);
    }
  }
}

TEST(WideReal, ScaledKeepsTheValueWithAMantissaInHalfToOne) {
  // Normal, negative and subnormal extended mantissas, exponents carried far out of range.
  const long double mantissas[] = {1.0L, 3.0L, -0.75L, 0.5L, LDBL_MAX, -LDBL_MIN, LDBL_TRUE_MIN, 6.0e-4940L};
  for (const long double mantissa : mantissas) {
    for (const std::int64_t exponent : {std::int64_t{0}, std::int64_t{-5000}, std::int64_t{70000}}) {
      const WideReal value = WideReal::scaled(mantissa, exponent);
      int shift = 0;
      const long double expected = std::frexp(mantissa, &shift);
      EXPECT_EQ(value.mantissa(), expected) << static_cast<double>(mantissa);
      EXPECT_EQ(value.exponent(), exponent + shift) << static_cast<double>(mantissa);
    }
  }
}

TEST(WideReal, BeyondDoublePrintsInGeneralNotation) {
  struct Case {
    WideReal value;
    const char* text;
  };
  const Case cases[] = {
      {WideReal::powerOfTwo(1500), "3.50747e+451"},      // 3.5074662...e+451 rounds up
      {WideReal::powerOfTwo(1024), "1.79769e+308"},      // just above DBL_MAX
      {WideReal::powerOfTwo(-1100), "7.36215e-332"},     // below the subnormals
      {WideReal::powerOfTwo(3322), "1.0511e+1000"},      // 1.05110...: trailing zero dropped
      {WideReal::powerOfTwo(3323), "2.10221e+1000"},
      {-WideReal::powerOfTwo(2000), "-1.14813e+602"},
      {WideReal(10.0) * WideReal::powerOfTwo(0) * WideReal(1e300) * WideReal(1e300), "1e+601"},
  };
  for (const Case& c : cases) EXPECT_EQ(toString(c.value), c.text);
  // The stream's precision is honoured.
  EXPECT_EQ(toString(WideReal::powerOfTwo(1500), 3), "3.51e+451");
  EXPECT_EQ(toString(WideReal::powerOfTwo(1500), 12), "3.50746621104e+451");
}

TEST(WideReal, RoundingCarriesIntoTheExponent) {
  // 9.9999999e+400 rounds to six digits as 1e+401.
  const WideReal value = WideReal(9.9999999e200) * WideReal(1e200);
  EXPECT_EQ(toString(value), "1e+401");
}

TEST(WideReal, ArithmeticKeepsRelativePrecisionFarBeyondTheDoubleRange) {
  // (2^5000 + 2^4999) / 3 = 2^4999, and sqrt(2^5001 * 2) = 2^2501.
  const WideReal sum = WideReal::powerOfTwo(5000) + WideReal::powerOfTwo(4999);
  EXPECT_EQ(sum / WideReal(3.0) / WideReal::powerOfTwo(4999), WideReal(1.0));
  EXPECT_EQ(sqrt(WideReal::powerOfTwo(5001) * WideReal(2.0)), WideReal::powerOfTwo(2501));
  EXPECT_NEAR((sqrt(WideReal::powerOfTwo(5001)) / WideReal::powerOfTwo(2500)).toDouble(), std::sqrt(2.0), 1e-15);
  // A negligible addend leaves the sum alone; a difference cancels exactly.
  EXPECT_EQ(WideReal::powerOfTwo(400) + WideReal(1.0), WideReal::powerOfTwo(400));
  EXPECT_TRUE((WideReal::powerOfTwo(4000) - WideReal::powerOfTwo(4000)).isZero());
  EXPECT_NEAR(static_cast<double>(WideReal::powerOfTwo(100000).log2Abs()), 100000.0, 1e-9);
}

TEST(WideReal, SpecialValuesBehaveAsForDouble) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE((WideReal(0.0) / WideReal(0.0)).isNaN());
  EXPECT_TRUE((WideReal(inf) - WideReal(inf)).isNaN());
  EXPECT_EQ((WideReal(inf) + WideReal::powerOfTwo(5000)).toDouble(), inf);
  EXPECT_EQ((WideReal(1.0) / WideReal(0.0)).toDouble(), inf);
  EXPECT_TRUE(sqrt(WideReal(-4.0)).isNaN());
  EXPECT_FALSE(WideReal::powerOfTwo(1024).fitsDouble());
  EXPECT_EQ(WideReal::powerOfTwo(1024).toDouble(), inf);
  EXPECT_EQ(WideReal::powerOfTwo(-1200).toDouble(), 0.0);
}

TEST(WideReal, ComparisonsOrderLikeTheReals) {
  const double inf = std::numeric_limits<double>::infinity();
  const WideReal ascending[] = {WideReal(-inf), -WideReal::powerOfTwo(3000), WideReal(-1.0), WideReal(0.0),
                                WideReal::powerOfTwo(-3000), WideReal(1.0), WideReal::powerOfTwo(3000),
                                WideReal(inf)};
  for (std::size_t i = 0; i < std::size(ascending); ++i) {
    for (std::size_t j = 0; j < std::size(ascending); ++j) {
      EXPECT_EQ(ascending[i] < ascending[j], i < j) << i << " " << j;
      EXPECT_EQ(ascending[i] == ascending[j], i == j) << i << " " << j;
    }
  }
  const WideReal nan(std::nan(""));
  EXPECT_FALSE(nan < WideReal(1.0));
  EXPECT_FALSE(WideReal(1.0) < nan);
  EXPECT_FALSE(nan == nan);
}

}  // namespace
}  // namespace monocount
