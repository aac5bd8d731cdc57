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

// The Problem the reader builds from the formula's DIMACS text (unchecked: also variable
// indices outside the count, which no file produces).
Problem toProblem(const Formula& formula);

// The clauses of a well-formed Problem, back as lists.
Clauses clausesOf(const Problem& problem);

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

// Tori: vertex (x, y) is variable y * width + x, with clauses to ((x + 1) mod width, y) and
// (x, (y + 1) mod height). Both sides at least 3, so the graph is simple.
Formula torusVertexCover(int width, int height);

// The king graph: vertex (x, y) is variable y * width + x, adjacent to the up to eight vertices
// a chess king reaches from it; per vertex, its edges right, down-left, down and down-right.
Formula kingVertexCover(int width, int height);

Formula pathVertexCover(int n);

Formula cycleVertexCover(int n);


// The labelled tree of a uniformly random Pruefer sequence: n - 2 draws of
// std::mt19937_64(seed)() % n (n >= 3; n = 1 and 2 give the one tree there is). Edge i joins
// the smallest leaf of round i with its sequence entry; the last edge joins the two vertices
// left. Same seed, same tree on every platform.
Formula randomTreeVertexCover(int n, std::uint64_t seed);

// Banded random monotone k-CNF: each clause draws a start a uniformly from 0..n-window and k
// distinct variables uniformly from a..a+window-1 (a partial Fisher-Yates shuffle of the
// window), by std::mt19937_64(seed)() % range; a clause drawn before is drawn again, until m
// pairwise distinct clauses (throws after 20 m + 1000 draws: m is near the number there are).
// Clauses are listed in increasing variable order.
Formula bandedMonotoneCnf(int n, int m, int k, int window, std::uint64_t seed);


// K_(a,b): A = variables 0..a-1, B = a..a+b-1; a cover holds all of A or all of B.
Formula completeBipartiteVertexCover(int a, int b);

// K_n: a cover leaves out at most one vertex.
Formula completeGraphVertexCover(int n);

// `count` clauses of k variables each on disjoint variables (clause i: i*k..i*k+k-1).
Formula disjointClauses(int k, int count);

// Variables renamed by a uniformly random permutation, clause order and each clause's literal
// order shuffled, all by std::mt19937_64(seed): the model count is unchanged.
Formula shuffled(Formula formula, std::uint64_t seed);

// `blocks` random 3-CNF blocks, block i = randomDistinct3Cnf(blockVariables,
// blockClauses, seed + i) on variables i*blockVariables.., then shuffled(..., seed).
Formula randomBlocks(int blocks, int blockVariables, int blockClauses, std::uint32_t seed);

}  // namespace monocount::support
