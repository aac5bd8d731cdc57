#pragma once

// The oracle of last resort: every set of variables tried in turn.

#include <cstdint>
#include <vector>

#include "support/formulas.hpp"

namespace monocount::support {

// The number of sets of each size k = 0 .. n that touch every clause (the covers of size k),
// by trying all 2^n sets; at most 30 variables (throws std::invalid_argument beyond).
std::vector<std::uint64_t> coversBySize(const Formula& formula);

// The number of sets that touch every clause: the sum of coversBySize.
std::uint64_t enumeratedCount(const Formula& formula);

}  // namespace monocount::support
