#include "estimation/mean.hpp"

namespace monocount {

double mean(const std::vector<double>& values) {
  const double count = static_cast<double>(values.size());
  double sum = 0.0;
  for (double value : values) sum += value;
  return sum / count;
}

}  // namespace monocount
