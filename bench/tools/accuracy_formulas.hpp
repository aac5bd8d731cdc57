#pragma once

// Formula families of the accuracy benchmark, as clause lists with variables numbered from 1:
// vertex covers of grid graphs and hypercubes (one two-variable clause per edge) and random
// monotone 3-CNF.

#include <cstdint>
#include <ostream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace monocount::bench {

using Clause = std::vector<std::int32_t>;

struct Formula {
  std::int32_t variableCount = 0;
  std::vector<Clause> clauses;
};

// The rows x columns grid; vertex (r, c) is variable r * columns + c + 1.
inline Formula gridFormula(std::int32_t rows, std::int32_t columns) {
  Formula formula{rows * columns, {}};
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      const std::int32_t v = r * columns + c + 1;
      if (c + 1 < columns) formula.clauses.push_back({v, v + 1});
      if (r + 1 < rows) formula.clauses.push_back({v, v + columns});
    }
  }
  return formula;
}

// The d-dimensional hypercube; vertex x (a d-bit number) is variable x + 1.
inline Formula hypercubeFormula(std::int32_t dimension) {
  Formula formula{std::int32_t{1} << dimension, {}};
  for (std::int32_t x = 0; x < formula.variableCount; ++x) {
    for (std::int32_t bit = 0; bit < dimension; ++bit) {
      const std::int32_t y = x ^ (std::int32_t{1} << bit);
      if (x < y) formula.clauses.push_back({x + 1, y + 1});
    }
  }
  return formula;
}

// `clauseCount` distinct clauses of three distinct variables each, drawn uniformly by
// std::mt19937 from `seed` (the same seed gives the same formula on every platform).
inline Formula random3Formula(std::int32_t variableCount, std::int32_t clauseCount, std::uint32_t seed) {
  if (variableCount < 3) throw std::invalid_argument("random 3-CNF needs at least 3 variables");
  std::mt19937 generator(seed);
  Formula formula{variableCount, {}};
  std::set<std::vector<std::int32_t>> seen;
  while (static_cast<std::int32_t>(formula.clauses.size()) < clauseCount) {
    std::set<std::int32_t> variables;
    while (variables.size() < 3) variables.insert(static_cast<std::int32_t>(generator() % variableCount) + 1);
    Clause clause(variables.begin(), variables.end());
    if (seen.insert(clause).second) formula.clauses.push_back(clause);
  }
  return formula;
}

// A family member from its command-line words: "grid R C", "hypercube D", "random3 N M SEED".
inline Formula formulaFromWords(const std::vector<std::string>& words) {
  const auto number = [&](std::size_t i) { return static_cast<std::int32_t>(std::stol(words.at(i))); };
  if (!words.empty() && words[0] == "grid" && words.size() == 3) return gridFormula(number(1), number(2));
  if (!words.empty() && words[0] == "hypercube" && words.size() == 2) return hypercubeFormula(number(1));
  if (!words.empty() && words[0] == "random3" && words.size() == 4)
    return random3Formula(number(1), number(2), static_cast<std::uint32_t>(std::stoul(words[3])));
  throw std::invalid_argument("expected: grid ROWS COLUMNS | hypercube DIMENSION | random3 VARIABLES CLAUSES SEED");
}

inline void writeDimacs(const Formula& formula, std::ostream& out) {
  out << "p cnf " << formula.variableCount << ' ' << formula.clauses.size() << '\n';
  for (const Clause& clause : formula.clauses) {
    for (const std::int32_t v : clause) out << v << ' ';
    out << "0\n";
  }
}

}  // namespace monocount::bench
