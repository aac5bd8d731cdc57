#include "support/enumeration.hpp"

#include <algorithm>
#include <bit>
#include <numeric>
#include <stdexcept>

namespace monocount::support {

namespace {

// Calls visit(set, touchesAll) for every set of the formula's variables (a bit per variable)
// with whether it touches every clause.
template <class Visit>
void forEverySet(const Formula& formula, Visit visit) {
  if (formula.variables < 0 || formula.variables > 30)
    throw std::invalid_argument("enumeration is for 0 to 30 variables");
  std::vector<std::uint32_t> masks;
  for (const auto& clause : formula.clauses) {
    std::uint32_t mask = 0;
    for (const std::int32_t v : clause) mask |= std::uint32_t{1} << v;
    masks.push_back(mask);
  }
  for (std::uint32_t set = 0; set < (std::uint32_t{1} << formula.variables); ++set) {
    bool touchesAll = true;
    for (const std::uint32_t mask : masks) touchesAll = touchesAll && (set & mask) != 0;
    visit(set, touchesAll);
  }
}

}  // namespace

std::vector<std::uint64_t> coversBySize(const Formula& formula) {
  std::vector<std::uint64_t> bySize(static_cast<std::size_t>(std::max(formula.variables, 0)) + 1, 0);
  forEverySet(formula, [&](std::uint32_t set, bool touchesAll) {
    if (touchesAll) ++bySize[static_cast<std::size_t>(std::popcount(set))];
  });
  return bySize;
}

std::uint64_t enumeratedCount(const Formula& formula) {
  const std::vector<std::uint64_t> bySize = coversBySize(formula);
  return std::accumulate(bySize.begin(), bySize.end(), std::uint64_t{0});
}

std::vector<double> enumeratedChances(const Formula& formula, const VariableProbabilities& law, bool holds) {
  std::vector<double> bySize(static_cast<std::size_t>(std::max(formula.variables, 0)) + 1, 0.0);
  forEverySet(formula, [&](std::uint32_t set, bool touchesAll) {
    if (touchesAll != holds) return;
    double chance = 1.0;
    for (std::int32_t v = 0; v < formula.variables; ++v) chance *= (set >> v & 1u) != 0 ? law.truth(v) : law.falsity(v);
    bySize[static_cast<std::size_t>(std::popcount(set))] += chance;
  });
  return bySize;
}

}  // namespace monocount::support
