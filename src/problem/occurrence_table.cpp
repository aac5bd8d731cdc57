#include "problem/occurrence_table.hpp"

#include <limits>
#include <stdexcept>
#include <string>

namespace monocount {

OccurrenceTable::OccurrenceTable(const Problem& problem)
    : variableCount(problem.variableCount), clauseCount(problem.clauseCount) {
  if (variableCount < 0 || clauseCount < 0 || problem.occurrences.size() != static_cast<std::size_t>(variableCount))
    throw std::invalid_argument("OccurrenceTable: the problem holds no loaded formula");
  clauseSizes.assign(static_cast<std::size_t>(clauseCount), 0);
  begin.reserve(static_cast<std::size_t>(variableCount) + 1);
  begin.push_back(0);
  std::vector<std::int32_t> lastVariable(static_cast<std::size_t>(clauseCount), -1);
  for (std::int32_t v = 0; v < variableCount; ++v) {
    for (const std::int32_t c : problem.occurrences[static_cast<std::size_t>(v)]) {
      if (c < 0 || c >= clauseCount)
        throw std::invalid_argument("OccurrenceTable: clause index " + std::to_string(c) +
                                    " outside the declared clause count");
      if (lastVariable[static_cast<std::size_t>(c)] == v) continue;
      lastVariable[static_cast<std::size_t>(c)] = v;
      clauses.push_back(c);
      ++clauseSizes[static_cast<std::size_t>(c)];
    }
    if (clauses.size() > std::numeric_limits<std::uint32_t>::max())
      throw std::length_error("OccurrenceTable: more than 2^32 occurrences");
    begin.push_back(static_cast<std::uint32_t>(clauses.size()));
  }
}

}  // namespace monocount
