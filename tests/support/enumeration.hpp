#pragma once

// The oracle of last resort: every set of variables tried in turn.

#include <cstdint>
#include <vector>

#include "problem/variable_probabilities.hpp"
#include "support/formulas.hpp"

namespace monocount::support {

// The number of sets of each size k = 0 .. n that touch every clause (the covers of size k),
// by trying all 2^n sets; at most 30 variables (throws std::invalid_argument beyond).
std::vector<std::uint64_t> coversBySize(const Formula& formula);

// The number of sets that touch every clause: the sum of coversBySize.
std::uint64_t enumeratedCount(const Formula& formula);

// The chance under `law` that the formula holds (`holds`) or fails (not `holds`), split by the
// number of true variables, k = 0 .. n, by trying all 2^n assignments (at most 30 variables).
std::vector<double> enumeratedChances(const Formula& formula, const VariableProbabilities& law, bool holds);

}  // namespace monocount::support
