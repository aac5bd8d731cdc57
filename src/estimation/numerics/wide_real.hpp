#pragma once

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <string>

namespace monocount {

static_assert(std::numeric_limits<long double>::digits == 64,
              "WideReal keeps its mantissa in a long double and needs the 64-bit mantissa of the x87 "
              "extended format (long double on x86-64 Linux with GCC or Clang); this target's long double "
              "has another format");

// A real number with a 64-bit mantissa and a separate 64-bit binary exponent, for counts and
// their statistics far beyond the range of a double (2^1000000 is an ordinary value here).
// Relative precision is that of the x87 extended mantissa, about 5e-20 per operation.
// Zero, infinities and NaN behave as they do for double.
class WideReal {
 public:
  WideReal() = default;
  // Exact: every double, including NaN (with its sign) and the infinities.
  WideReal(double value);  // NOLINT(google-explicit-constructor): a widening, like double(float)
  // mantissa * 2^exponent.
  static WideReal scaled(long double mantissa, std::int64_t exponent);
  // 2^exponent.
  static WideReal powerOfTwo(std::int64_t exponent) { return scaled(1.0L, exponent); }

  // True for a finite value that a double holds without overflow or underflow to zero.
  bool fitsDouble() const;
  // The nearest double; +-inf beyond its range, +-0 below it.
  double toDouble() const;
  bool isFinite() const;
  bool isNaN() const;
  bool isZero() const { return mantissa_ == 0.0L; }
  bool isNegative() const;
  // log2 of the magnitude (-inf for zero).
  long double log2Abs() const;
  // log10 of the magnitude (-inf for zero).
  long double log10Abs() const;
  // The value is mantissa() * 2^exponent(), the mantissa's magnitude in [0.5, 1) for a finite
  // non-zero value (0, an infinity or NaN otherwise, with exponent 0).
  long double mantissa() const { return mantissa_; }
  std::int64_t exponent() const { return exponent_; }

  WideReal operator-() const { return WideReal(-mantissa_, exponent_, Raw{}); }
  WideReal& operator+=(const WideReal& other);
  WideReal& operator-=(const WideReal& other) { return *this += -other; }
  WideReal& operator*=(const WideReal& other);
  WideReal& operator/=(const WideReal& other);

  friend WideReal operator+(WideReal a, const WideReal& b) { return a += b; }
  friend WideReal operator-(WideReal a, const WideReal& b) { return a -= b; }
  friend WideReal operator*(WideReal a, const WideReal& b) { return a *= b; }
  friend WideReal operator/(WideReal a, const WideReal& b) { return a /= b; }
  friend WideReal sqrt(const WideReal& value);

  // Ordered like the real numbers; every comparison with NaN is false.
  friend bool operator<(const WideReal& a, const WideReal& b);
  friend bool operator>(const WideReal& a, const WideReal& b) { return b < a; }
  friend bool operator<=(const WideReal& a, const WideReal& b) { return !(b < a) && !a.isNaN() && !b.isNaN(); }
  friend bool operator>=(const WideReal& a, const WideReal& b) { return b <= a; }
  friend bool operator==(const WideReal& a, const WideReal& b);

 private:
  struct Raw {};
  WideReal(long double mantissa, std::int64_t exponent, Raw) : mantissa_(mantissa), exponent_(exponent) {}
  void normalize();

  long double mantissa_ = 0.0L;  // 0, +-inf, NaN, or magnitude in [0.5, 1)
  std::int64_t exponent_ = 0;    // 0 unless the mantissa is finite and non-zero
};

// Written as the stream writes a double when the value fits one (so finite counts print
// digit for digit as before); beyond that range in the same general notation, with the
// stream's precision and as many exponent digits as needed: "3.50746e+451".
std::ostream& operator<<(std::ostream& out, const WideReal& value);
std::string toString(const WideReal& value, int precision = 6);

}  // namespace monocount
