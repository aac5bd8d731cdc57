#include "estimation/numerics/mean.hpp"

#include <cmath>

namespace monocount {

double mean(const std::vector<double>& values) {
  const double count = static_cast<double>(values.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) sum = sum + values[i];
  return sum / count;
}

WideReal mean(const std::vector<WideReal>& values) {
  RunningWideMean running;
  for (const WideReal& value : values) running.add(value);
  return running.value();
}

void RunningWideMean::add(const WideReal& value) {
  classic_.add(value.toDouble());
  sum_ += value;
  ++count_;
  nonFinite_ = nonFinite_ || !value.isFinite();
  beyondDouble_ = beyondDouble_ || (value.isFinite() && !value.fitsDouble());
}

WideReal RunningWideMean::value() const {
  const double classic = classic_.value();
  if (nonFinite_ || (!beyondDouble_ && std::isfinite(classic))) return classic;
  return sum_ / WideReal(static_cast<double>(count_));
}

}  // namespace monocount
