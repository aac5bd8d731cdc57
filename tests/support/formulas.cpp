#include "support/formulas.hpp"

#include <random>
#include <set>
#include <stdexcept>
#include <utility>

namespace monocount::support {

Problem toProblem(const Formula& formula) {
  Problem problem;
  problem.variableCount = formula.variables;
  problem.clauseCount = static_cast<std::int32_t>(formula.clauses.size());
  problem.occurrences.resize(static_cast<std::size_t>(formula.variables));
  for (std::size_t c = 0; c < formula.clauses.size(); ++c)
    for (const std::int32_t v : formula.clauses[c])
      problem.occurrences[static_cast<std::size_t>(v)].push_back(static_cast<std::int32_t>(c));
  return problem;
}

Problem fromOccurrences(std::int32_t clauseCount, std::vector<std::vector<std::int32_t>> lists) {
  Problem problem;
  problem.variableCount = static_cast<std::int32_t>(lists.size());
  problem.clauseCount = clauseCount;
  problem.occurrences = std::move(lists);
  return problem;
}

void writeDimacs(const Formula& formula, std::ostream& out) {
  out << "p cnf " << formula.variables << " " << formula.clauses.size() << "\n";
  for (const auto& clause : formula.clauses) {
    for (const std::int32_t v : clause) out << v + 1 << " ";
    out << "0\n";
  }
}

Formula gridVertexCover(std::int32_t width, std::int32_t height) {
  Formula formula{width * height, {}};
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::int32_t v = y * width + x;
      if (x + 1 < width) formula.clauses.push_back({v, v + 1});
      if (y + 1 < height) formula.clauses.push_back({v, v + width});
    }
  }
  return formula;
}

Formula hypercubeVertexCover(std::int32_t dimension) {
  Formula formula{std::int32_t{1} << dimension, {}};
  for (std::int32_t x = 0; x < formula.variables; ++x) {
    for (std::int32_t bit = 0; bit < dimension; ++bit) {
      const std::int32_t y = x ^ (std::int32_t{1} << bit);
      if (x < y) formula.clauses.push_back({x, y});
    }
  }
  return formula;
}

Formula matching(std::int32_t pairs) {
  Formula formula{2 * pairs, {}};
  for (std::int32_t p = 0; p < pairs; ++p) formula.clauses.push_back({2 * p, 2 * p + 1});
  return formula;
}

Formula randomMonotoneCnf(std::int32_t n, std::int32_t m, std::int32_t k, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const auto below = [&](std::int32_t bound) {
    return static_cast<std::int32_t>(random() % static_cast<std::uint64_t>(bound));
  };
  Formula formula{n, {}};
  std::vector<std::int32_t> pool(static_cast<std::size_t>(n));
  for (std::int32_t v = 0; v < n; ++v) pool[static_cast<std::size_t>(v)] = v;
  for (std::int32_t c = 0; c < m; ++c) {
    // A partial Fisher-Yates draws k distinct variables.
    std::vector<std::int32_t> clause;
    for (std::int32_t l = 0; l < k; ++l) {
      std::swap(pool[static_cast<std::size_t>(l)], pool[static_cast<std::size_t>(l + below(n - l))]);
      clause.push_back(pool[static_cast<std::size_t>(l)]);
    }
    formula.clauses.push_back(clause);
  }
  return formula;
}

Formula randomMixedCnf(std::int32_t n, std::int32_t m, std::int32_t maxWidth, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<std::int32_t> width(1, maxWidth);
  std::uniform_int_distribution<std::int32_t> variable(1, n);
  Formula formula{n, Clauses(static_cast<std::size_t>(m))};
  for (auto& clause : formula.clauses) {
    const std::int32_t size = width(generator);
    for (std::int32_t i = 0; i < size; ++i) clause.push_back(variable(generator) - 1);
  }
  return formula;
}

Formula randomDistinct3Cnf(std::int32_t n, std::int32_t m, std::uint32_t seed) {
  if (n < 3) throw std::invalid_argument("random 3-CNF needs at least 3 variables");
  std::mt19937 generator(seed);
  Formula formula{n, {}};
  std::set<std::vector<std::int32_t>> seen;
  while (static_cast<std::int32_t>(formula.clauses.size()) < m) {
    std::set<std::int32_t> variables;
    while (variables.size() < 3) variables.insert(static_cast<std::int32_t>(generator() % static_cast<std::uint32_t>(n)));
    std::vector<std::int32_t> clause(variables.begin(), variables.end());
    if (seen.insert(clause).second) formula.clauses.push_back(clause);
  }
  return formula;
}

}  // namespace monocount::support
