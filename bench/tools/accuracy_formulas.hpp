#pragma once

// Formula families of the accuracy benchmark, named on the command line: vertex covers of grid
// graphs and hypercubes (one two-variable clause per edge) and random monotone 3-CNF, and their
// exact counts. The builders live in the test-support library (support/formulas.hpp), the
// exact counters in bench/support (exact_counts.hpp).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/exact_counts.hpp"
#include "support/formulas.hpp"

namespace monocount::bench {

// A family member from its command-line words: "grid R C" (R rows of C columns; vertex (r, c)
// is variable r * C + c), "hypercube D", "random3 N M SEED".
inline support::Formula formulaFromWords(const std::vector<std::string>& words) {
  const auto number = [&](std::size_t i) { return static_cast<std::int32_t>(std::stol(words.at(i))); };
  if (!words.empty() && words[0] == "grid" && words.size() == 3) return support::gridVertexCover(number(2), number(1));
  if (!words.empty() && words[0] == "hypercube" && words.size() == 2) return support::hypercubeVertexCover(number(1));
  if (!words.empty() && words[0] == "random3" && words.size() == 4)
    return support::randomDistinct3Cnf(number(1), number(2), static_cast<std::uint32_t>(std::stoul(words[3])));
  throw std::invalid_argument("expected: grid ROWS COLUMNS | hypercube DIMENSION | random3 VARIABLES CLAUSES SEED");
}

// The exact count of the family member `formula` named by `words`, without sampling: the
// transfer matrix for grids, the layered count for hypercubes, the component-caching search
// otherwise.
inline support::Count exactCountFromWords(const std::vector<std::string>& words, const support::Formula& formula) {
  if (words.at(0) == "grid") return support::gridCount(std::stoi(words.at(2)), std::stoi(words.at(1)));
  if (words.at(0) == "hypercube") return support::hypercubeCoverCount(std::stoi(words.at(1)));
  return support::MonotoneCounter().count(formula);
}

}  // namespace monocount::bench
