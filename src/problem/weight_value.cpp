#include "problem/weight_value.hpp"

#include <algorithm>
#include <boost/multiprecision/gmp.hpp>
#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace monocount {
namespace {

using boost::multiprecision::mpq_rational;
using boost::multiprecision::mpz_int;

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Beyond this decimal order of magnitude a side of a fraction is refused before its exact value
// is built (10^100000 still takes GMP well under a millisecond).
constexpr std::int64_t kLargestOrder = 100'000;

// An unsigned decimal: its digits without the point, and the power of ten they are scaled by.
struct Decimal {
  std::string digits;       // leading zeros removed; empty for zero
  std::int64_t scale = 0;   // value = digits * 10^scale
  // The decimal order of magnitude (1e3 and 9.9e3 are 3); meaningless for zero.
  std::int64_t order() const { return static_cast<std::int64_t>(digits.size()) - 1 + scale; }
};

// Reads DIGITS[.DIGITS][(e|E)[+-]DIGITS] (digits on at least one side of the point) as the
// whole of `text`; false otherwise. An exponent beyond 10^15 saturates (the order check then
// refuses it).
bool readDecimal(std::string_view text, Decimal& decimal) {
  std::size_t i = 0;
  std::string digits;
  std::size_t before = 0;
  for (; i < text.size() && isDigit(text[i]); ++i, ++before) digits += text[i];
  std::size_t after = 0;
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && isDigit(text[i]); ++i, ++after) digits += text[i];
  if (before + after == 0) return false;
  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (i == text.size()) return false;
    for (; i < text.size() && isDigit(text[i]); ++i)
      exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), std::int64_t{1'000'000'000'000'000});
    if (negative) exponent = -exponent;
  }
  if (i != text.size()) return false;
  const std::size_t leading = std::min(digits.find_first_not_of('0'), digits.size());
  decimal.digits = digits.substr(leading);
  decimal.scale = exponent - static_cast<std::int64_t>(after);
  return true;
}

mpq_rational exactValue(const Decimal& decimal) {
  if (decimal.digits.empty()) return mpq_rational(0);
  const mpz_int digits(decimal.digits);
  const auto exponent = static_cast<unsigned>(decimal.scale < 0 ? -decimal.scale : decimal.scale);
  const mpz_int power = boost::multiprecision::pow(mpz_int(10), exponent);
  return decimal.scale >= 0 ? mpq_rational(digits * power) : mpq_rational(digits, power);
}

double roundedTowardZero(const mpq_rational& value) { return mpq_get_d(value.backend().data()); }

bool isNotFiniteWord(std::string_view text) {
  std::string lower;
  for (const char ch : text) lower += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  return lower == "inf" || lower == "infinity" || lower.starts_with("nan");
}

}  // namespace

WeightValue readWeightValue(std::string_view text) {
  WeightValue weight;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (isNotFiniteWord(text)) {
    weight.status = WeightValue::kNotFinite;
    return weight;
  }
  const std::size_t slash = text.find('/');
  Decimal numerator, denominator;
  denominator.digits = "1";
  if (!readDecimal(text.substr(0, slash), numerator) ||
      (slash != std::string_view::npos && !readDecimal(text.substr(slash + 1), denominator)))
    return weight;  // kUnreadable
  if (denominator.digits.empty()) {
    weight.status = WeightValue::kZeroDenominator;
    return weight;
  }
  if (numerator.digits.empty()) {  // 0, whatever its sign or exponent
    weight.status = WeightValue::kOk;
    weight.complement = 1.0;
    return weight;
  }
  if (negative) {
    weight.status = WeightValue::kNegative;
    return weight;
  }
  if (slash == std::string_view::npos && numerator.digits.size() <= 19 && numerator.scale <= 0 &&
      numerator.scale >= -19) {
    // The usual weight, such as 0.999: D / 10^k with D and 10^k exact in a long double's 64-bit
    // mantissa, and 10^k - D exact in 64 bits; no GMP needed.
    std::uint64_t digits = 0, power = 1;
    for (const char digit : numerator.digits) digits = digits * 10 + static_cast<std::uint64_t>(digit - '0');
    for (std::int64_t i = 0; i < -numerator.scale; ++i) power *= 10;
    weight.status = WeightValue::kOk;
    weight.value = static_cast<double>(static_cast<long double>(digits) / static_cast<long double>(power));
    weight.complement = digits > power ? std::numeric_limits<double>::quiet_NaN()
                                       : static_cast<double>(static_cast<long double>(power - digits) /
                                                             static_cast<long double>(power));
    return weight;
  }
  // The quotient's order is that of the sides' quotient, give or take one.
  const std::int64_t order = numerator.order() - denominator.order();
  weight.status = WeightValue::kOutOfRange;
  if (std::abs(numerator.order()) > kLargestOrder || std::abs(denominator.order()) > kLargestOrder ||
      order > DBL_MAX_10_EXP + 1 || order < DBL_MIN_10_EXP - 2)
    return weight;
  const mpq_rational value = exactValue(numerator) / exactValue(denominator);
  if (value < mpq_rational(DBL_MIN) || value > mpq_rational(DBL_MAX)) return weight;
  weight.status = WeightValue::kOk;
  weight.value = roundedTowardZero(value);
  const mpq_rational complement = 1 - value;
  weight.complement = complement < 0 || (complement > 0 && complement < mpq_rational(DBL_MIN))
                          ? std::numeric_limits<double>::quiet_NaN()
                          : roundedTowardZero(complement);
  return weight;
}

}  // namespace monocount
