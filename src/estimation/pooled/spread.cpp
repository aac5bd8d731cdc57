#include "estimation/pooled/spread.hpp"

#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <limits>

namespace monocount {

WideReal Spread::mean() const {
  return count() == 0 ? WideReal(std::numeric_limits<double>::quiet_NaN()) : values_.mean();
}

std::optional<WideReal> Spread::standardError() const {
  if (count() < 2) return std::nullopt;
  const WideReal values(static_cast<double>(count()));
  return sqrt(values_.squares() / WideReal(static_cast<double>(count() - 1))) / sqrt(values);
}

PooledValue pooled(const Spread& spread, const WideReal& mean) {
  PooledValue result{mean, spread.standardError(), std::nullopt, std::nullopt, std::nullopt};
  if (!result.standardError) return result;
  const WideReal& error = *result.standardError;
  result.relativeError = error.isZero() ? 0.0 : (error / mean).toDouble();
  if (!error.isFinite() || !mean.isFinite()) return result;
  const boost::math::students_t distribution(static_cast<double>(spread.count() - 1));
  const WideReal halfWidth = error * WideReal(boost::math::quantile(boost::math::complement(distribution, 0.025)));
  const WideReal low = mean - halfWidth;
  result.low = low.isNegative() ? WideReal(0.0) : low;
  result.high = mean + halfWidth;
  return result;
}

}  // namespace monocount
