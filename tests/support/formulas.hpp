#pragma once

// Formulas for the tests and the benchmarks: the vertex-cover formula of a grid graph and
// random monotone k-CNF, as clause lists, as DIMACS text and as an in-memory Problem.

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "problem/problem.hpp"

namespace monocount::testdata {

// Clauses as lists of 0-based variable indices.
struct Formula {
  std::int32_t variables = 0;
  std::vector<std::vector<std::int32_t>> clauses;
};

// One clause (u, v) per edge of the width x height grid graph: a set satisfies it when it
// is a vertex cover. Vertex (x, y) is variable y * width + x.
inline Formula gridVertexCover(std::int32_t width, std::int32_t height) {
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

// m clauses of k distinct variables each (k <= n), drawn uniformly from n variables.
inline Formula randomMonotoneCnf(std::int32_t n, std::int32_t m, std::int32_t k, std::uint64_t seed) {
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

inline void writeDimacs(const Formula& formula, std::ostream& out) {
  out << "p cnf " << formula.variables << " " << formula.clauses.size() << "\n";
  for (const auto& clause : formula.clauses) {
    for (const std::int32_t v : clause) out << v + 1 << " ";
    out << "0\n";
  }
}

// The model Problem::load builds from the formula's DIMACS text.
inline Problem toProblem(const Formula& formula) {
  Problem problem;
  problem.variableCount = formula.variables;
  problem.clauseCount = static_cast<std::int32_t>(formula.clauses.size());
  problem.occurrences.resize(static_cast<std::size_t>(formula.variables));
  for (std::size_t c = 0; c < formula.clauses.size(); ++c)
    for (const std::int32_t v : formula.clauses[c])
      problem.occurrences[static_cast<std::size_t>(v)].push_back(static_cast<std::int32_t>(c));
  return problem;
}

}  // namespace monocount::testdata
