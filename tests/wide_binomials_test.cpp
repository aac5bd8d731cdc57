#include "estimation/numerics/wide_binomials.hpp"

#include <gtest/gtest.h>

#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>

#include "estimation/classic/binomial_tails.hpp"

namespace monocount {
namespace {

using boost::multiprecision::cpp_int;

// The exact integer as an extended-range real, rounded to 64 significant bits.
WideReal toWide(const cpp_int& value) {
  if (value == 0) return WideReal(0.0);
  const std::int64_t bits = static_cast<std::int64_t>(boost::multiprecision::msb(value)) + 1;
  const std::int64_t shift = bits > 64 ? bits - 64 : 0;
  const cpp_int top = value >> static_cast<unsigned>(shift);
  return WideReal::scaled(static_cast<long double>(top.convert_to<unsigned long long>()), shift);
}

double relativeError(const WideReal& computed, const cpp_int& exact) {
  const WideReal truth = toWide(exact);
  const WideReal difference = computed - truth;
  return std::fabs((difference / truth).toDouble());
}

TEST(WideBinomials, RowAndTailsMatchExactIntegers) {
  for (const std::int32_t n : {0, 1, 2, 3, 54, 55, 1020, 1021, 1500, 5000}) {
    const std::vector<WideReal> row = wideBinomialRow(n);
    const std::vector<WideReal> tails = wideBinomialTails(n);
    ASSERT_EQ(row.size(), static_cast<std::size_t>(n) + 1);
    ASSERT_EQ(tails.size(), static_cast<std::size_t>(n) + 1);
    // Exact coefficients by the same recurrence in integers, exact tails from the top.
    std::vector<cpp_int> exactRow(static_cast<std::size_t>(n) + 1);
    exactRow[0] = 1;
    for (std::int32_t k = 1; k <= n; ++k) exactRow[k] = exactRow[k - 1] * (n - k + 1) / k;
    cpp_int tail = 0;
    for (std::int32_t k = n; k >= 0; --k) {
      tail += exactRow[k];
      // A spread of k, always including both ends and the middle.
      if (k % 37 != 0 && k != n && k != n / 2 && k > 2) continue;
      EXPECT_LT(relativeError(row[k], exactRow[k]), 1e-13) << "C(" << n << ", " << k << ")";
      EXPECT_LT(relativeError(tails[k], tail), 1e-13) << "T(" << n << ", " << k << ")";
    }
  }
}

TEST(WideBinomials, AgreeWithTheClassicTableWhereItIsFinite) {
  for (const std::int32_t n : {10, 100, 1020, 1021, 3000}) {
    const std::vector<double> classic = binomialTails(n);
    const std::vector<WideReal> wide = wideBinomialTails(n);
    for (std::size_t k = 0; k < classic.size(); ++k) {
      if (!std::isfinite(classic[k])) continue;
      EXPECT_NEAR(wide[k].toDouble() / classic[k], 1.0, 1e-13) << n << " " << k;
    }
  }
}

TEST(WideBinomials, AMillionVariablesStayFiniteAndExactAtTheEnds) {
  const std::vector<WideReal> tails = wideBinomialTails(1'000'000);
  ASSERT_EQ(tails.size(), 1'000'001u);
  EXPECT_NEAR(static_cast<double>(tails[0].log2Abs()), 1'000'000.0, 1e-6);  // 2^n
  EXPECT_EQ(tails[1'000'000], WideReal(1.0));
  EXPECT_EQ(tails[999'999], WideReal(1'000'001.0));
  for (const WideReal& entry : tails) ASSERT_TRUE(entry.isFinite());
}

TEST(WideBinomials, NegativeCountGivesEmptyTables) {
  EXPECT_TRUE(wideBinomialRow(-1).empty());
  EXPECT_TRUE(wideBinomialTails(-5).empty());
}

}  // namespace
}  // namespace monocount
