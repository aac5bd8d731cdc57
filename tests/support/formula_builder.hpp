#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "problem/problem.hpp"
#include "support/formulas.hpp"

namespace monocount::testing {

using Clauses = std::vector<std::vector<std::int32_t>>;  // variable numbers from 1, as in a file

// A loaded Problem for the given clauses, as the reader would build it from a file.
inline Problem makeProblem(std::int32_t variableCount, const Clauses& clauses) {
  testdata::Formula formula{variableCount, clauses};
  for (auto& clause : formula.clauses) {
    for (std::int32_t& variable : clause) --variable;
  }
  return testdata::toProblem(formula);
}

// The vertex-cover formula of the rows x columns grid graph: one clause per edge.
inline Clauses gridClauses(std::int32_t rows, std::int32_t columns) {
  Clauses clauses = testdata::gridVertexCover(columns, rows).clauses;
  for (auto& clause : clauses) {
    for (std::int32_t& variable : clause) ++variable;
  }
  return clauses;
}

// Random monotone clauses of 1 .. maxWidth literals (repeats allowed) over variableCount variables.
inline Clauses randomClauses(std::int32_t variableCount, std::int32_t clauseCount, std::int32_t maxWidth,
                             std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<std::int32_t> width(1, maxWidth);
  std::uniform_int_distribution<std::int32_t> variable(1, variableCount);
  Clauses clauses(static_cast<std::size_t>(clauseCount));
  for (auto& clause : clauses) {
    const std::int32_t size = width(generator);
    for (std::int32_t i = 0; i < size; ++i) clause.push_back(variable(generator));
  }
  return clauses;
}

}  // namespace monocount::testing
