#pragma once

// Formulas for the tests and the benchmarks: vertex covers of grid graphs and hypercubes,
// random monotone CNF, as clause lists, as DIMACS text and as an in-memory Problem.

#include <cstdint>
#include <ostream>
#include <vector>

#include "problem/problem.hpp"

namespace monocount::support {

// Clauses as lists of 0-based variable indices (variable number v + 1 of a file is index v).
using Clauses = std::vector<std::vector<std::int32_t>>;

struct Formula {
  std::int32_t variables = 0;
  Clauses clauses;
};

// The Problem the reader builds from the formula's DIMACS text.
Problem toProblem(const Formula& formula);

// A Problem with the given occurrence lists (one per variable) and declared clause count,
// unchecked: also lists that no file produces.
Problem fromOccurrences(std::int32_t clauseCount, std::vector<std::vector<std::int32_t>> lists);

// "p cnf N M", then one line per clause: its variable numbers and 0.
void writeDimacs(const Formula& formula, std::ostream& out);

// One clause (u, v) per edge of the width x height grid graph: a set satisfies it when it is a
// vertex cover. Vertex (x, y) is variable y * width + x; per vertex, its right edge first.
Formula gridVertexCover(std::int32_t width, std::int32_t height);

// One clause (x, y) per edge of the d-dimensional hypercube, x < y: vertex x (a d-bit number)
// is variable x, and its edges are listed in the order of the bit flipped.
Formula hypercubeVertexCover(std::int32_t dimension);

// (x0 x1)(x2 x3)...: every cover holds one variable of each pair at least; 3^pairs covers.
Formula matching(std::int32_t pairs);

// m clauses of k distinct variables each (k <= n), drawn uniformly from n variables.
Formula randomMonotoneCnf(std::int32_t n, std::int32_t m, std::int32_t k, std::uint64_t seed);

// m clauses of 1 .. maxWidth literals each, drawn uniformly from n variables, repeats allowed.
Formula randomMixedCnf(std::int32_t n, std::int32_t m, std::int32_t maxWidth, std::uint32_t seed);

// m pairwise distinct clauses of three distinct variables each, in increasing order, drawn
// uniformly by std::mt19937 from `seed` (the same seed gives the same formula on every
// platform). The accuracy benchmark's random family; m must not exceed C(n, 3).
Formula randomDistinct3Cnf(std::int32_t n, std::int32_t m, std::uint32_t seed);

}  // namespace monocount::support
