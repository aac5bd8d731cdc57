#include "estimation/numerics/wide_binomials.hpp"

namespace monocount {

std::vector<WideReal> wideBinomialRow(std::int32_t n) {
  std::vector<WideReal> row;
  if (n < 0) return row;
  row.resize(static_cast<std::size_t>(n) + 1);
  WideReal c = 1.0;
  const std::int32_t half = n / 2;
  for (std::int32_t i = 0; i <= half; ++i) {
    if (i > 0) c = c * WideReal(static_cast<double>(n - i + 1)) / WideReal(static_cast<double>(i));
    row[static_cast<std::size_t>(i)] = c;
    row[static_cast<std::size_t>(n - i)] = c;
  }
  return row;
}

std::vector<WideReal> wideBinomialTails(std::int32_t n) {
  std::vector<WideReal> tails = wideBinomialRow(n);
  for (std::int32_t k = n - 1; k >= 0; --k) {
    tails[static_cast<std::size_t>(k)] += tails[static_cast<std::size_t>(k) + 1];
  }
  return tails;
}

}  // namespace monocount
