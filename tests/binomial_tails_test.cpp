#include "estimation/classic/binomial_tails.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <boost/multiprecision/cpp_int.hpp>
#include <vector>

namespace monocount {
namespace {

using boost::multiprecision::cpp_int;

// Index of the first entry that differs in any bit, or -1.
long firstBitDifference(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return static_cast<long>(std::min(a.size(), b.size()));
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (std::bit_cast<std::uint64_t>(a[k]) != std::bit_cast<std::uint64_t>(b[k])) {
      return static_cast<long>(k);
    }
  }
  return -1;
}

std::vector<cpp_int> exactRow(int n) {
  std::vector<cpp_int> row{1};
  for (int k = 0; k < n; ++k) row.push_back(row.back() * (n - k) / (k + 1));
  return row;
}

std::vector<cpp_int> exactTails(int n) {
  const std::vector<cpp_int> row = exactRow(n);
  std::vector<cpp_int> tails(row.size());
  cpp_int sum = 0;
  for (std::size_t k = row.size(); k-- > 0;) tails[k] = sum += row[k];
  return tails;
}

// Whether a finite, integral double equals the exact value.
bool isExact(double value, const cpp_int& exact) {
  return std::isfinite(value) && cpp_int(value) == exact;
}

TEST(BinomialTails, SmallTables) {
  struct Case {
    std::int32_t n;
    std::vector<double> tails;
  };
  const Case cases[] = {
      {-1, {}},     {-1000, {}},        {0, {1}},
      {1, {2, 1}},  {2, {4, 3, 1}},     {3, {8, 7, 4, 1}},  // from the row (1, 3, 3, 1)
      {4, {16, 15, 11, 5, 1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(binomialTails(c.n), c.tails) << "n = " << c.n;
    EXPECT_EQ(fastBinomialTails(c.n), c.tails) << "n = " << c.n;
  }
}

TEST(BinomialTails, ExactnessAgainstExactIntegers) {
  ASSERT_TRUE(isExact(0x1p60, cpp_int(1) << 60));  // the conversion itself is exact

  for (int n = 0; n <= 53; ++n) {
    const std::vector<double> tails = binomialTails(n);
    const std::vector<cpp_int> exact = exactTails(n);
    for (int k = 0; k <= n; ++k) {
      EXPECT_TRUE(isExact(tails[k], exact[k])) << "T(" << n << ", " << k << ")";
    }
  }
  // n = 54: the coefficients are still exact, but some tail sums are not.
  const std::vector<double> tails54 = binomialTails(54);
  const std::vector<cpp_int> exact54 = exactTails(54);
  int rounded = 0;
  for (int k = 0; k <= 54; ++k) rounded += !isExact(tails54[k], exact54[k]);
  EXPECT_GT(rounded, 0);
}

TEST(BinomialTails, OverflowStartsAt1021) {
  for (std::int32_t n = 1000; n <= 1020; ++n) {
    for (double t : binomialTails(n)) ASSERT_TRUE(std::isfinite(t)) << "n = " << n;
  }
  // C(1021, k) for k = 496 .. 525 (about 1.4e306 at the middle) overflows through the product
  // (n - i + 1) * c, not through its value, and so does every tail that reaches them.
  const std::vector<double> tails = binomialTails(1021);
  for (std::size_t k = 0; k <= 1021; ++k) {
    EXPECT_EQ(std::isinf(tails[k]), k <= 525) << "T[" << k << "]";
    EXPECT_FALSE(std::signbit(tails[k]));
  }
}

TEST(BinomialTails, FastTableMatchesThePlainEvaluationBitForBit) {
  std::vector<std::int32_t> sizes;
  for (std::int32_t n = -2; n <= 1100; ++n) sizes.push_back(n);
  for (std::int32_t n : {2000, 2047, 5000}) sizes.push_back(n);
  for (std::int32_t n : sizes) {
    ASSERT_EQ(firstBitDifference(fastBinomialTails(n), binomialTails(n)), -1) << "n = " << n;
  }
}

// Large tables: infinite up to the middle, exact at the top end (a quadratic table would take
// minutes here; its speed is measured by the benchmarks).
TEST(BinomialTails, LargeTables) {
  for (std::int32_t n : {100000, 1000000}) {
    const std::vector<double> tails = fastBinomialTails(n);
    ASSERT_EQ(tails.size(), static_cast<std::size_t>(n) + 1);
    EXPECT_TRUE(std::isinf(tails[0]));
    EXPECT_TRUE(std::isinf(tails[static_cast<std::size_t>(n / 2)]));
    EXPECT_EQ(tails[static_cast<std::size_t>(n)], 1.0);
    EXPECT_EQ(tails[static_cast<std::size_t>(n) - 1], n + 1.0);
    EXPECT_TRUE(std::is_sorted(tails.rbegin(), tails.rend()));
  }
}

}  // namespace
}  // namespace monocount
