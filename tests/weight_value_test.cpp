#include "problem/weight_value.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace monocount {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ReadWeightValue, ReadsDecimalsAndFractionsExactly) {
  using S = WeightValue::Status;
  const std::string nearOne = "0." + std::string(400, '9');  // 1 - 1e-400: no double holds the rest
  const struct {
    std::string text;
    S status;
    double value;
    double complement;  // NaN: no weight
  } cases[] = {
      {"0.9", S::kOk, 0.9, 0.1},
      // Read exactly, not as 1 - 0.999999999 rounded (which is 1.00000008e-9).
      {"0.999999999", S::kOk, 0.999999999, 1e-9},
      {"0.99999999999999999999", S::kOk, 1, 1e-20},  // beyond 64-bit integers
      {"1e-9", S::kOk, 1e-9, 0.999999999},
      {"1/3", S::kOk, 1.0 / 3, 2.0 / 3},
      {"2.5E+2/5e1", S::kOk, 5, kNaN},
      {".5", S::kOk, 0.5, 0.5},
      {"+3.", S::kOk, 3, kNaN},
      {"1", S::kOk, 1, 0},
      {"1.5", S::kOk, 1.5, kNaN},
      {nearOne, S::kOk, 1, kNaN},
      {"0", S::kOk, 0, 1},
      {"-0", S::kOk, 0, 1},
      {"0e99999999999999999999", S::kOk, 0, 1},
      // Each side of a fraction may lie beyond a double's range, the quotient not.
      {"1e-320/1e-20", S::kOk, 1e-300, 1},
      {"1e-300/1e10", S::kOutOfRange, 0, 0},
      {"1e-400", S::kOutOfRange, 0, 0},
      {"1e309", S::kOutOfRange, 0, 0},
      {"1e99999999999999999999", S::kOutOfRange, 0, 0},
      {"-0.5", S::kNegative, 0, 0},
      {"inf", S::kNotFinite, 0, 0},
      {"-Infinity", S::kNotFinite, 0, 0},
      {"NaN", S::kNotFinite, 0, 0},
      {"1/0.0", S::kZeroDenominator, 0, 0},
      {"0.5x", S::kUnreadable, 0, 0},
      {"", S::kUnreadable, 0, 0},
      {".", S::kUnreadable, 0, 0},
      {"1e", S::kUnreadable, 0, 0},
      {"1/", S::kUnreadable, 0, 0},
      {"1/-3", S::kUnreadable, 0, 0},
      {"0x1p3", S::kUnreadable, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const WeightValue read = readWeightValue(c.text);
    ASSERT_EQ(read.status, c.status);
    if (c.status != S::kOk) continue;
    EXPECT_DOUBLE_EQ(read.value, c.value);
    if (std::isnan(c.complement))
      EXPECT_TRUE(std::isnan(read.complement)) << read.complement;
    else
      EXPECT_DOUBLE_EQ(read.complement, c.complement);
  }
}

}  // namespace
}  // namespace monocount
