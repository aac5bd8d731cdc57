#include "estimation/pooled/reach_check.hpp"

#include <cmath>
#include <limits>

namespace monocount {

bool restsOnUnreachedLengths(const CoverLengthCounts& pooled, std::int32_t variableCount,
                             const VariableProbabilities* law) {
  if (law != nullptr && !law->isUniform()) return false;  // not scored from cover lengths
  const std::optional<double> p = law != nullptr ? std::optional<double>(law->uniformTruth()) : std::nullopt;
  const std::int32_t n = variableCount;
  const std::int32_t shortest = pooled.shortest();
  if (shortest <= 1 || shortest > n || pooled.samples == 0) return false;
  if (p && (*p <= 0.0 || *p >= 1.0)) return false;  // the ends are known exactly
  // Natural logs of the terms, so that no table of n binomials is needed: log C(n, k) by
  // lgamma at s - 1, then by the ratio (n - k) / (k + 1) from one k to the next; the weight
  // p^k (1 - p)^(n - k) as k log p + (n - k) log(1 - p).
  const long double logP = p ? std::log(static_cast<long double>(*p)) : 0.0L;
  const long double logQ = p ? std::log1p(-static_cast<long double>(*p)) : 0.0L;
  const auto weight = [&](std::int32_t k) { return k * logP + (n - k) * logQ; };
  const long double logSamples = std::log(static_cast<long double>(pooled.samples));
  const std::int32_t below = shortest - 1;
  long double logBinomial = std::lgamma(n + 1.0L) - std::lgamma(below + 1.0L) - std::lgamma(n - below + 1.0L);
  // No sample below s among S: its chance is under -ln(0.05) / S with 95 % confidence.
  const long double unseen = logBinomial + std::log(-std::log(0.05L)) - logSamples + weight(below);
  long double largest = -std::numeric_limits<long double>::infinity();
  std::int32_t largestAt = shortest;
  std::uint64_t covered = 0;
  for (std::int32_t k = shortest; k <= n; ++k) {
    logBinomial += std::log(static_cast<long double>(n - k + 1) / static_cast<long double>(k));
    const std::size_t at = static_cast<std::size_t>(k - pooled.first);
    if (at < pooled.counts.size()) covered += pooled.counts[at];
    const long double term = logBinomial + std::log(static_cast<long double>(covered)) - logSamples + weight(k);
    if (term > largest) largest = term, largestAt = k;
  }
  return largestAt <= shortest + 1 && unseen >= largest + std::log(0.1L);
}

}  // namespace monocount
