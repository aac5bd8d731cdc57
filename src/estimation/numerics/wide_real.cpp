#include "estimation/numerics/wide_real.hpp"

#include <cfloat>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <ostream>
#include <sstream>

namespace monocount {

namespace {

// Beyond this distance in binary exponents the smaller addend cannot reach the 64-bit mantissa.
constexpr std::int64_t kNegligibleShift = 70;

long double signOf(long double value) { return std::signbit(value) ? -1.0L : 1.0L; }

}  // namespace

WideReal::WideReal(double value) : mantissa_(value), exponent_(0) { normalize(); }

WideReal WideReal::scaled(long double mantissa, std::int64_t exponent) {
  WideReal result(mantissa, exponent, Raw{});
  result.normalize();
  return result;
}

void WideReal::normalize() {
  if (mantissa_ == 0.0L || !std::isfinite(mantissa_)) {
    exponent_ = 0;
    return;
  }
  // What frexp gives, read off the x87 extended format (64-bit mantissa with its integer bit,
  // then the sign and a 15-bit exponent biased by 16383): a normal number's exponent field is
  // set to that of [0.5, 1) and the difference moves to exponent_. Subnormals go to frexp.
  unsigned char bytes[sizeof(long double)];
  std::memcpy(bytes, &mantissa_, sizeof bytes);
  std::uint16_t signAndExponent = 0;
  std::memcpy(&signAndExponent, bytes + 8, sizeof signAndExponent);
  const int biased = signAndExponent & 0x7FFF;
  if (biased == 0) {
    int shift = 0;
    mantissa_ = std::frexp(mantissa_, &shift);
    exponent_ += shift;
    return;
  }
  constexpr int kHalfBiased = 16382;  // the exponent field of numbers in [0.5, 1)
  exponent_ += biased - kHalfBiased;
  signAndExponent = static_cast<std::uint16_t>((signAndExponent & 0x8000) | kHalfBiased);
  std::memcpy(bytes + 8, &signAndExponent, sizeof signAndExponent);
  std::memcpy(&mantissa_, bytes, sizeof bytes);
}

bool WideReal::isFinite() const { return std::isfinite(mantissa_); }
bool WideReal::isNaN() const { return std::isnan(mantissa_); }
bool WideReal::isNegative() const { return !isNaN() && mantissa_ < 0.0L; }

long double WideReal::log2Abs() const {
  if (!isFinite() || isZero()) return std::log2(std::fabs(mantissa_));
  return std::log2(std::fabs(mantissa_)) + static_cast<long double>(exponent_);
}

long double WideReal::log10Abs() const { return log2Abs() * std::log10(2.0L); }

double WideReal::toDouble() const {
  if (!isFinite() || isZero()) return static_cast<double>(mantissa_);
  if (exponent_ > DBL_MAX_EXP) return static_cast<double>(signOf(mantissa_) * HUGE_VALL);
  if (exponent_ < DBL_MIN_EXP - DBL_MANT_DIG - 1) return static_cast<double>(signOf(mantissa_) * 0.0L);
  // The extended format's range covers the double's, so this rounds once.
  return static_cast<double>(std::ldexp(mantissa_, static_cast<int>(exponent_)));
}

bool WideReal::fitsDouble() const {
  if (!isFinite()) return false;
  if (isZero()) return true;
  const double value = toDouble();
  return std::isfinite(value) && value != 0.0;
}

WideReal& WideReal::operator+=(const WideReal& other) {
  if (!isFinite() || !other.isFinite()) {
    // Only the kinds matter: a finite addend stands in as its sign.
    const long double a = isFinite() ? (isZero() ? 0.0L : signOf(mantissa_)) : mantissa_;
    const long double b = other.isFinite() ? (other.isZero() ? 0.0L : signOf(other.mantissa_)) : other.mantissa_;
    *this = WideReal(a + b, 0, Raw{});
    return *this;
  }
  if (other.isZero()) return *this;
  if (isZero()) return *this = other;
  const WideReal* large = this;
  const WideReal* small = &other;
  if (other.exponent_ > exponent_) std::swap(large, small);
  const std::int64_t shift = large->exponent_ - small->exponent_;
  if (shift > kNegligibleShift) return *this = *large;
  WideReal sum(large->mantissa_ + std::ldexp(small->mantissa_, -static_cast<int>(shift)), large->exponent_, Raw{});
  sum.normalize();
  return *this = sum;
}

WideReal& WideReal::operator*=(const WideReal& other) {
  mantissa_ *= other.mantissa_;
  exponent_ += other.exponent_;
  normalize();
  return *this;
}

WideReal& WideReal::operator/=(const WideReal& other) {
  mantissa_ /= other.mantissa_;
  exponent_ -= other.exponent_;
  normalize();
  return *this;
}

WideReal sqrt(const WideReal& value) {
  if (!value.isFinite() || value.isZero() || value.isNegative()) {
    return WideReal(std::sqrt(value.mantissa_), 0, WideReal::Raw{});
  }
  long double mantissa = value.mantissa_;
  std::int64_t exponent = value.exponent_;
  if (exponent % 2 != 0) {
    mantissa *= 2.0L;
    exponent -= 1;
  }
  return WideReal::scaled(std::sqrt(mantissa), exponent / 2);
}

bool operator<(const WideReal& a, const WideReal& b) {
  if (a.isNaN() || b.isNaN()) return false;
  if (!a.isFinite() || !b.isFinite()) {
    // An infinity against anything: a finite value stands in as 0.
    return (a.isFinite() ? 0.0L : a.mantissa_) < (b.isFinite() ? 0.0L : b.mantissa_);
  }
  const int signA = a.isZero() ? 0 : (a.mantissa_ < 0.0L ? -1 : 1);
  const int signB = b.isZero() ? 0 : (b.mantissa_ < 0.0L ? -1 : 1);
  if (signA != signB) return signA < signB;
  if (signA == 0) return false;
  if (a.exponent_ != b.exponent_) return signA < 0 ? a.exponent_ > b.exponent_ : a.exponent_ < b.exponent_;
  return a.mantissa_ < b.mantissa_;
}

bool operator==(const WideReal& a, const WideReal& b) {
  return a.mantissa_ == b.mantissa_ && a.exponent_ == b.exponent_;
}

std::string toString(const WideReal& value, int precision) {
  std::ostringstream out;
  out.precision(precision);
  out << value;
  return out.str();
}

std::ostream& operator<<(std::ostream& out, const WideReal& value) {
  if (!value.isFinite() || value.fitsDouble()) return out << value.toDouble();
  // Beyond the double's range: the decimal exponent from the binary one, then the leading
  // digits in %e form, with the trailing zeros dropped as the general notation does.
  const int precision = out.precision() > 0 ? static_cast<int>(out.precision()) : 1;
  const long double log10Value = value.log10Abs();
  long double decimalExponent = std::floor(log10Value);
  const long double leading = std::pow(10.0L, log10Value - decimalExponent);
  char digits[64];
  std::snprintf(digits, sizeof digits, "%.*Le", precision - 1, leading);
  // "d.ddddde+XX": rounding may have carried into the exponent (9.999999 -> 1.00000e+01).
  char* exponentMark = std::strchr(digits, 'e');
  decimalExponent += std::strtol(exponentMark + 1, nullptr, 10);
  std::string mantissa(digits, exponentMark);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  const long long exponent = static_cast<long long>(decimalExponent);
  char tail[32];
  std::snprintf(tail, sizeof tail, "e%c%02lld", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
  return out << (value.isNegative() ? "-" : "") << mantissa << tail;
}

}  // namespace monocount
