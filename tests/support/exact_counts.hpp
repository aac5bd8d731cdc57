#pragma once

// Exact model counts of monotone formulas beyond enumeration, for the tests and the accuracy
// benchmark: a transfer matrix for grid vertex covers, a four-layer decomposition for
// hypercube vertex covers and a component-caching exhaustive counter for any monotone formula
// of at most 64 variables; enumeration is the reference for all three.

#include <boost/multiprecision/cpp_int.hpp>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "support/formulas.hpp"

namespace monocount::support {

using Count = boost::multiprecision::cpp_int;

// Vertex covers of the rows x columns grid (columns <= 24), row by row: a row's set is valid
// when no two neighbours in it are both left out, and two consecutive rows never leave out the
// same column. The count of the next row's set b is the sum over previous sets a containing
// the complement of b, a superset sum.
Count gridCoverCount(std::int32_t rows, std::int32_t columns);

// Vertex covers of the d-dimensional hypercube (d <= 6), through their complements, the
// independent sets. Q_d is Q_(d-2) times a 4-cycle: layers A, B, C, D of independent sets of
// Q_(d-2), each disjoint from its two neighbours on the cycle, so the count is
// sum over A, C of h(A | C)^2, where h(U) counts the independent sets of Q_(d-2) avoiding U.
Count hypercubeCoverCount(std::int32_t dimension);

// Subsets of at most 64 variables that touch every clause of a monotone formula, by splitting
// on the most frequent variable, with unit clauses forced, subsumed clauses dropped, variables
// in no clause counted as free, independent components counted apart, and every component's
// count cached by its clause set.
class MonotoneCounter {
 public:
  Count count(const Formula& formula);

 private:
  struct KeyHash {
    std::size_t operator()(const std::vector<std::uint64_t>& key) const;
  };
  // Models over `variables` of the clauses (every clause a non-empty subset of `variables`).
  Count countFormula(std::vector<std::uint64_t> clauses, std::uint64_t variables);
  Count countComponent(const std::vector<std::uint64_t>& clauses, std::uint64_t variables);

  std::unordered_map<std::vector<std::uint64_t>, Count, KeyHash> cache_;
};

}  // namespace monocount::support
