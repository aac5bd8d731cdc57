#include "estimation/splitting/minimal_clauses.hpp"

#include <algorithm>
#include <cmath>

namespace monocount {

MinimalClauses::MinimalClauses(const Problem& problem, const OccurrenceTable& table, std::span<const double> odds) {
  const auto m = static_cast<std::size_t>(table.clauseCount);
  const auto n = static_cast<std::size_t>(table.variableCount);
  // hits[c']: how many distinct variables of the clause under test c' holds; stamp[c']: which test.
  std::vector<std::int32_t> hits(m, 0);
  std::vector<std::int32_t> stamp(m, -1);
  std::vector<std::int32_t> seen(n, -1);
  std::vector<std::int32_t> minimal;
  for (std::int32_t c = 0; c < table.clauseCount; ++c) {
    const std::int32_t size = table.clauseSizes[static_cast<std::size_t>(c)];
    bool inside = false;  // some other clause lies inside c (or names the same set and comes first)
    for (const std::int32_t v : problem.clause(c)) {
      if (seen[static_cast<std::size_t>(v)] == c) continue;
      seen[static_cast<std::size_t>(v)] = c;
      for (std::uint32_t i = table.begin[static_cast<std::size_t>(v)]; i < table.begin[static_cast<std::size_t>(v) + 1]; ++i) {
        const std::int32_t other = table.clauses[i];
        const auto at = static_cast<std::size_t>(other);
        if (other == c || table.clauseSizes[at] > size) continue;
        if (stamp[at] != c) {
          stamp[at] = c;
          hits[at] = 0;
        }
        if (++hits[at] == table.clauseSizes[at] && (table.clauseSizes[at] < size || other < c)) inside = true;
      }
    }
    if (!inside) minimal.push_back(c);
  }
  std::stable_sort(minimal.begin(), minimal.end(), [&](std::int32_t a, std::int32_t b) {
    return table.clauseSizes[static_cast<std::size_t>(a)] < table.clauseSizes[static_cast<std::size_t>(b)];
  });
  smallest_ = minimal.empty() ? 0 : table.clauseSizes[static_cast<std::size_t>(minimal.front())];
  clauses_ = minimal;
  begin_.assign(n + 2, 0);
  for (const std::int32_t c : clauses_) ++begin_[static_cast<std::size_t>(table.clauseSizes[static_cast<std::size_t>(c)]) + 1];
  for (std::size_t s = 1; s < begin_.size(); ++s) begin_[s] += begin_[s - 1];
  // Weights in log2, then per size relative to the size's largest, summed in long double.
  std::vector<long double> logs(clauses_.size(), 0.0L);
  for (std::size_t i = 0; i < clauses_.size() && !odds.empty(); ++i) {
    const std::int32_t mark = -2 - static_cast<std::int32_t>(i);
    for (const std::int32_t v : problem.clause(clauses_[i])) {
      if (seen[static_cast<std::size_t>(v)] == mark) continue;
      seen[static_cast<std::size_t>(v)] = mark;
      logs[i] += std::log2(static_cast<long double>(odds[static_cast<std::size_t>(v)]));
    }
  }
  reach_.resize(clauses_.size());
  weights_.assign(n + 1, WideReal());
  for (std::size_t s = 0; s <= n; ++s) {
    if (begin_[s] == begin_[s + 1]) continue;
    const long double top = *std::max_element(logs.begin() + static_cast<std::ptrdiff_t>(begin_[s]),
                                              logs.begin() + static_cast<std::ptrdiff_t>(begin_[s + 1]));
    long double sum = 0.0L;
    for (std::size_t i = begin_[s]; i < begin_[s + 1]; ++i) {
      sum += std::exp2(logs[i] - top);
      reach_[i] = sum;
    }
    const long double whole = std::floor(top);
    weights_[s] = WideReal::scaled(sum * std::exp2(top - whole), static_cast<std::int64_t>(whole));
  }
}

WideReal MinimalClauses::weight(std::int32_t size) const {
  if (size < 0 || static_cast<std::size_t>(size) >= weights_.size()) return WideReal();
  return weights_[static_cast<std::size_t>(size)];
}

std::int32_t MinimalClauses::draw(std::int32_t size, SplitEngine& engine) const {
  const auto first = reach_.begin() + static_cast<std::ptrdiff_t>(begin_[static_cast<std::size_t>(size)]);
  const auto last = reach_.begin() + static_cast<std::ptrdiff_t>(begin_[static_cast<std::size_t>(size) + 1]);
  const long double point = static_cast<long double>(engine.unit()) * *(last - 1);
  const auto at = std::upper_bound(first, last, point);
  return clauses_[static_cast<std::size_t>((at == last ? last - 1 : at) - reach_.begin())];
}

}  // namespace monocount
