#include "estimation/mean.hpp"

#include <cmath>

namespace monocount {

double mean(const std::vector<double>& values) {
  const double count = static_cast<double>(values.size());
  double sum = 0.0;
  for (double value : values) sum += value;
  return sum / count;
}

WideReal mean(const std::vector<WideReal>& values) {
  std::vector<double> asDoubles;
  asDoubles.reserve(values.size());
  bool nonFinite = false;
  bool beyondDouble = false;
  for (const WideReal& value : values) {
    asDoubles.push_back(value.toDouble());
    nonFinite = nonFinite || !value.isFinite();
    beyondDouble = beyondDouble || (value.isFinite() && !value.fitsDouble());
  }
  const double classic = mean(asDoubles);
  if (nonFinite || (!beyondDouble && std::isfinite(classic))) return classic;
  WideReal sum;
  for (const WideReal& value : values) sum += value;
  return sum / WideReal(static_cast<double>(values.size()));
}

}  // namespace monocount
