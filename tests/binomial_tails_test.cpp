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

// The classic evaluation written out as plainly as it reads: every coefficient from scratch,
// every tail summed on its own. Quadratic, and the reference for the fast table.
std::vector<double> plainTails(std::int32_t n) {
  std::vector<double> row;
  for (std::int32_t k = 0; k <= n; ++k) {
    const std::int32_t r = std::min(k, n - k);
    double c = 1.0;
    for (std::int32_t i = 1; i <= r; ++i) c = ((n - i + 1) * c) / i;
    row.push_back(c);
  }
  std::vector<double> tails;
  for (std::int32_t k = 0; k <= n; ++k) {
    double t = 0.0;
    for (std::int32_t j = k; j <= n; ++j) t += row[static_cast<std::size_t>(j)];
    tails.push_back(t);
  }
  return tails;
}

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
  for (const Case& c : cases) EXPECT_EQ(binomialTails(c.n), c.tails) << "n = " << c.n;
  EXPECT_EQ(binomialRow(3), (std::vector<double>{1, 3, 3, 1}));
  EXPECT_TRUE(binomialRow(-1).empty());
}

TEST(BinomialTails, ExactnessAgainstExactIntegers) {
  ASSERT_TRUE(isExact(0x1p60, cpp_int(1) << 60));  // the conversion itself is exact

  for (int n = 0; n <= 54; ++n) {
    const std::vector<double> row = binomialRow(n);
    const std::vector<cpp_int> exact = exactRow(n);
    for (int k = 0; k <= n; ++k) {
      EXPECT_TRUE(isExact(row[k], exact[k])) << "C(" << n << ", " << k << ")";
    }
  }
  // The first rounded coefficients.
  const std::vector<double> row55 = binomialRow(55);
  const std::vector<cpp_int> exact55 = exactRow(55);
  for (int k = 0; k <= 55; ++k) {
    EXPECT_EQ(isExact(row55[k], exact55[k]), k < 26 || k > 29) << "C(55, " << k << ")";
  }

  for (int n = 0; n <= 53; ++n) {
    const std::vector<double> tails = binomialTails(n);
    const std::vector<cpp_int> exact = exactTails(n);
    for (int k = 0; k <= n; ++k) {
      EXPECT_TRUE(isExact(tails[k], exact[k])) << "T(" << n << ", " << k << ")";
    }
  }
  // n = 54: the row is still exact, but some tail sums are not.
  const std::vector<double> tails54 = binomialTails(54);
  const std::vector<cpp_int> exact54 = exactTails(54);
  int rounded = 0;
  for (int k = 0; k <= 54; ++k) rounded += !isExact(tails54[k], exact54[k]);
  EXPECT_GT(rounded, 0);
}

TEST(BinomialTails, OverflowStartsAt1021) {
  for (std::int32_t n = 1000; n <= 1020; ++n) {
    for (double t : binomialTails(n)) ASSERT_TRUE(std::isfinite(t)) << "n = " << n;
    for (double c : binomialRow(n)) ASSERT_TRUE(std::isfinite(c)) << "n = " << n;
  }
  // C(1021, 510) is about 1.4e306: the product (n - i + 1) * c overflows, not the value.
  const std::vector<double> row = binomialRow(1021);
  const std::vector<double> tails = binomialTails(1021);
  for (std::size_t k = 0; k <= 1021; ++k) {
    EXPECT_EQ(std::isinf(row[k]), k >= 496 && k <= 525) << "C[" << k << "]";
    EXPECT_EQ(std::isinf(tails[k]), k <= 525) << "T[" << k << "]";
    EXPECT_FALSE(std::signbit(tails[k]));
  }
}

TEST(BinomialTails, FastTableMatchesThePlainEvaluationBitForBit) {
  std::vector<std::int32_t> sizes;
  for (std::int32_t n = -2; n <= 1100; ++n) sizes.push_back(n);
  for (std::int32_t n : {2000, 2047, 5000}) sizes.push_back(n);
  for (std::int32_t n : sizes) {
    ASSERT_EQ(firstBitDifference(binomialTails(n), plainTails(n)), -1) << "n = " << n;
  }
}

// Large tables: infinite up to the middle, exact at the top end (a quadratic table would take
// minutes here; its speed is measured by the benchmarks).
TEST(BinomialTails, LargeTables) {
  for (std::int32_t n : {100000, 1000000}) {
    const std::vector<double> tails = binomialTails(n);
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
