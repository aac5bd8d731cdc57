#include "estimation/classic/binomial_tails.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace monocount {

namespace {

// The running value c after i = 0, 1, ... steps of c <- ((n - i + 1) * c) / i, up to i = n / 2.
// C(n, k) took min(k, n - k) steps, so these values are the whole row. Once c is +inf it stays
// so (the factor and the divisor are positive), so the sequence ends early at its first +inf:
// every later step would repeat it.
std::vector<double> runningCoefficients(std::int32_t n) {
  std::vector<double> values;
  if (n < 0) return values;
  double c = 1.0;
  values.push_back(c);
  for (std::int32_t i = 1; i <= n / 2 && !std::isinf(c); ++i) {
    c = (static_cast<double>(n - i + 1) * c) / static_cast<double>(i);
    values.push_back(c);
  }
  return values;
}

// C[k] from the running sequence: the value after min(k, n - k) steps.
double coefficient(const std::vector<double>& running, std::int32_t n, std::int32_t k) {
  const auto steps = static_cast<std::size_t>(std::min(k, n - k));
  return steps < running.size() ? running[steps] : HUGE_VAL;
}

}  // namespace

std::vector<double> binomialTails(std::int32_t n) {
  std::vector<double> row;
  for (std::int32_t k = 0; k <= n; ++k) {
    const std::int32_t r = std::min(k, n - k);
    double c = 1.0;
    for (std::int32_t i = 1; i <= r; ++i) c = (static_cast<double>(n - i + 1) * c) / static_cast<double>(i);
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

std::vector<double> fastBinomialTails(std::int32_t n) {
  std::vector<double> tails;
  if (n < 0) return tails;
  const std::vector<double> running = runningCoefficients(n);
  tails.reserve(static_cast<std::size_t>(n) + 1);

  // The infinite coefficients, if any, form one block in the middle of the row, ending at
  // k = n - i where i is the step that overflowed. Every tail that reaches the block's end is
  // +inf whatever was summed before it: all terms are positive, and +inf plus a positive
  // number is +inf. That covers every k up to the block's end.
  std::int32_t firstFinite = 0;  // the first k whose tail holds finite terms only
  if (std::isinf(running.back())) {
    firstFinite = n - static_cast<std::int32_t>(running.size() - 1) + 1;
  }
  tails.assign(static_cast<std::size_t>(firstFinite), HUGE_VAL);

  // The remaining tails are summed one by one in the plain order, from C[k] up to C[n].
  std::vector<double> terms;
  terms.reserve(static_cast<std::size_t>(n - firstFinite) + 1);
  for (std::int32_t k = firstFinite; k <= n; ++k) terms.push_back(coefficient(running, n, k));
  for (std::size_t first = 0; first < terms.size(); ++first) {
    double t = 0.0;
    for (std::size_t j = first; j < terms.size(); ++j) t += terms[j];
    tails.push_back(t);
  }
  return tails;
}

}  // namespace monocount
