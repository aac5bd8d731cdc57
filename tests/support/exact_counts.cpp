#include "support/exact_counts.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <utility>

#include "support/enumeration.hpp"

namespace monocount::support {

namespace {

Count power2(int exponent) { return Count(1) << exponent; }

}  // namespace

Count gridCoverCount(std::int32_t rows, std::int32_t columns) {
  if (columns < 1 || columns > 24 || rows < 1) throw std::invalid_argument("grid sides must be 1..24 columns, >= 1 row");
  const std::uint32_t full = (std::uint32_t{1} << columns) - 1;
  const auto valid = [&](std::uint32_t set) { return ((~set & full) & ((~set & full) >> 1)) == 0; };
  std::vector<Count> counts(std::size_t{full} + 1);
  for (std::uint32_t set = 0; set <= full; ++set) counts[set] = valid(set) ? 1 : 0;
  for (std::int32_t row = 1; row < rows; ++row) {
    for (std::int32_t bit = 0; bit < columns; ++bit) {
      for (std::uint32_t set = 0; set <= full; ++set) {
        if ((set & (std::uint32_t{1} << bit)) == 0) counts[set] += counts[set | (std::uint32_t{1} << bit)];
      }
    }
    std::vector<Count> next(counts.size());
    for (std::uint32_t set = 0; set <= full; ++set) {
      if (valid(set)) next[set] = counts[~set & full];
    }
    counts.swap(next);
  }
  Count total = 0;
  for (const Count& count : counts) total += count;
  return total;
}


Count hypercubeCoverCount(std::int32_t dimension) {
  if (dimension < 0 || dimension > 6) throw std::invalid_argument("hypercube dimension must be 0..6");
  if (dimension <= 2) return Count(enumeratedCount(hypercubeVertexCover(dimension)));
  const std::int32_t base = dimension - 2;
  const std::uint32_t vertices = std::uint32_t{1} << base;
  const std::uint32_t full = vertices == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << vertices) - 1;
  std::vector<std::uint32_t> independent;
  for (std::uint64_t set = 0; set <= full; ++set) {
    bool ok = true;
    for (std::uint32_t x = 0; x < vertices && ok; ++x) {
      for (std::int32_t bit = 0; bit < base && ok; ++bit) {
        const std::uint32_t y = x ^ (std::uint32_t{1} << bit);
        ok = !((set >> x & 1) != 0 && (set >> y & 1) != 0);
      }
    }
    if (ok) independent.push_back(static_cast<std::uint32_t>(set));
  }
  // inside[U] = independent sets inside U (a subset sum), so h(U) = inside[complement of U].
  std::vector<std::uint64_t> inside(std::size_t{full} + 1, 0);
  for (const std::uint32_t set : independent) ++inside[set];
  for (std::uint32_t bit = 0; bit < vertices; ++bit) {
    for (std::uint64_t set = 0; set <= full; ++set) {
      if ((set >> bit & 1) != 0) inside[set] += inside[set ^ (std::uint64_t{1} << bit)];
    }
  }
  Count total = 0;
  for (const std::uint32_t a : independent) {
    for (const std::uint32_t c : independent) {
      const Count h = inside[~(a | c) & full];
      total += h * h;
    }
  }
  return total;
}

Count MonotoneCounter::count(const Formula& formula) {
  if (formula.variables > 64) throw std::invalid_argument("the exhaustive counter takes at most 64 variables");
  std::vector<std::uint64_t> clauses;
  for (const auto& clause : formula.clauses) {
    std::uint64_t mask = 0;
    for (const std::int32_t v : clause) mask |= std::uint64_t{1} << v;
    if (mask == 0) return 0;
    clauses.push_back(mask);
  }
  const std::uint64_t all = formula.variables == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << formula.variables) - 1;
  return countFormula(std::move(clauses), all);
}

std::size_t MonotoneCounter::KeyHash::operator()(const std::vector<std::uint64_t>& key) const {
  std::uint64_t h = 0x9E3779B97F4A7C15ull;
  for (const std::uint64_t word : key) h = (h ^ word) * 0x100000001B3ull + (h >> 29);
  return static_cast<std::size_t>(h);
}

Count MonotoneCounter::countFormula(std::vector<std::uint64_t> clauses, std::uint64_t variables) {
  // Units are forced true, which satisfies every clause holding them.
  for (;;) {
    std::uint64_t units = 0;
    for (const std::uint64_t clause : clauses) {
      if (std::popcount(clause) == 1) units |= clause;
    }
    if (units == 0) break;
    variables &= ~units;
    std::erase_if(clauses, [&](std::uint64_t clause) { return (clause & units) != 0; });
  }
  // A clause containing another one adds no condition.
  std::sort(clauses.begin(), clauses.end(),
            [](std::uint64_t a, std::uint64_t b) { return std::popcount(a) != std::popcount(b) ? std::popcount(a) < std::popcount(b) : a < b; });
  std::vector<std::uint64_t> kept;
  for (const std::uint64_t clause : clauses) {
    if (std::none_of(kept.begin(), kept.end(), [&](std::uint64_t k) { return (k & clause) == k; })) kept.push_back(clause);
  }
  std::uint64_t used = 0;
  for (const std::uint64_t clause : kept) used |= clause;
  Count result = power2(std::popcount(variables & ~used));
  // Components: clauses linked through shared variables.
  std::vector<bool> placed(kept.size(), false);
  for (std::size_t seed = 0; seed < kept.size(); ++seed) {
    if (placed[seed]) continue;
    std::uint64_t reach = kept[seed];
    std::vector<std::uint64_t> component;
    bool grew = true;
    while (grew) {
      grew = false;
      for (std::size_t i = 0; i < kept.size(); ++i) {
        if (!placed[i] && (kept[i] & reach) != 0) {
          placed[i] = true;
          reach |= kept[i];
          component.push_back(kept[i]);
          grew = true;
        }
      }
    }
    std::sort(component.begin(), component.end());
    result *= countComponent(component, reach);
    if (result == 0) break;
  }
  return result;
}

Count MonotoneCounter::countComponent(const std::vector<std::uint64_t>& clauses, std::uint64_t variables) {
  const auto cached = cache_.find(clauses);
  if (cached != cache_.end()) return cached->second;
  int best = 0;
  int bestOccurrences = -1;
  for (int v = 0; v < 64; ++v) {
    if ((variables >> v & 1) == 0) continue;
    int occurrences = 0;
    for (const std::uint64_t clause : clauses) occurrences += static_cast<int>(clause >> v & 1);
    if (occurrences > bestOccurrences) {
      best = v;
      bestOccurrences = occurrences;
    }
  }
  const std::uint64_t bit = std::uint64_t{1} << best;
  std::vector<std::uint64_t> whenTrue;
  std::vector<std::uint64_t> whenFalse;
  for (const std::uint64_t clause : clauses) {
    if ((clause & bit) == 0) whenTrue.push_back(clause);
    whenFalse.push_back(clause & ~bit);
  }
  Count result = countFormula(std::move(whenTrue), variables & ~bit);
  if (std::none_of(whenFalse.begin(), whenFalse.end(), [](std::uint64_t clause) { return clause == 0; })) {
    result += countFormula(std::move(whenFalse), variables & ~bit);
  }
  cache_.emplace(clauses, result);
  return result;
}

}  // namespace monocount::support
