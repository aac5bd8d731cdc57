#pragma once

// Formulas for the tests and the benchmarks: the vertex-cover formulas of grid graphs and
// hypercubes and random monotone k-CNF, as clause lists, as DIMACS text and as an in-memory
// Problem.

#include <cstdint>
#include <ostream>
#include <random>
#include <set>
#include <stdexcept>
#include <utility>
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

// One clause (x, y) per edge of the d-dimensional hypercube, x < y: vertex x (a d-bit
// number) is variable x, and its edges are listed in the order of the bit flipped.
inline Formula hypercubeVertexCover(std::int32_t dimension) {
  Formula formula{std::int32_t{1} << dimension, {}};
  for (std::int32_t x = 0; x < formula.variables; ++x) {
    for (std::int32_t bit = 0; bit < dimension; ++bit) {
      const std::int32_t y = x ^ (std::int32_t{1} << bit);
      if (x < y) formula.clauses.push_back({x, y});
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

// m pairwise distinct clauses of three distinct variables each, in increasing order, drawn
// uniformly by std::mt19937 from `seed` (the same seed gives the same formula on every
// platform). The accuracy benchmark's random family; m must not exceed C(n, 3).
inline Formula randomDistinct3Cnf(std::int32_t n, std::int32_t m, std::uint32_t seed) {
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

inline void writeDimacs(const Formula& formula, std::ostream& out) {
  out << "p cnf " << formula.variables << " " << formula.clauses.size() << "\n";
  for (const auto& clause : formula.clauses) {
    for (const std::int32_t v : clause) out << v + 1 << " ";
    out << "0\n";
  }
}

// A Problem with the given occurrence lists (one per variable) and declared clause count.
inline Problem fromOccurrences(std::int32_t clauseCount, std::vector<std::vector<std::int32_t>> lists) {
  Problem problem;
  problem.variableCount = static_cast<std::int32_t>(lists.size());
  problem.clauseCount = clauseCount;
  problem.occurrences = std::move(lists);
  return problem;
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
