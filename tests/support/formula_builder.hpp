#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "problem/problem.hpp"

namespace monocount::testing {

using Clauses = std::vector<std::vector<std::int32_t>>;  // variable numbers from 1

// A loaded Problem for the given clauses, as the reader would build it from a file.
inline Problem makeProblem(std::int32_t variableCount, const Clauses& clauses) {
  Problem problem;
  problem.variableCount = variableCount;
  problem.clauseCount = static_cast<std::int32_t>(clauses.size());
  problem.occurrences.resize(static_cast<std::size_t>(variableCount));
  for (std::size_t clause = 0; clause < clauses.size(); ++clause) {
    for (const std::int32_t variable : clauses[clause]) {
      problem.occurrences[static_cast<std::size_t>(variable - 1)].push_back(static_cast<std::int32_t>(clause));
    }
  }
  return problem;
}

// The vertex-cover formula of the rows x columns grid graph: one clause per edge.
inline Clauses gridClauses(std::int32_t rows, std::int32_t columns) {
  Clauses clauses;
  const auto vertex = [columns](std::int32_t r, std::int32_t c) { return r * columns + c + 1; };
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      if (c + 1 < columns) clauses.push_back({vertex(r, c), vertex(r, c + 1)});
      if (r + 1 < rows) clauses.push_back({vertex(r, c), vertex(r + 1, c)});
    }
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
