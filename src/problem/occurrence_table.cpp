#include "problem/occurrence_table.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace monocount {

namespace {

void checkShape(const Problem& problem) {
  const auto invalid = [](const std::string& why) { throw std::invalid_argument("OccurrenceTable: " + why); };
  if (problem.variableCount < 0 || problem.clauseCount < 0) invalid("negative counts");
  const std::vector<std::uint32_t>& begin = problem.clauseBegin;
  if (begin.size() != static_cast<std::size_t>(problem.clauseCount) + 1 || begin.front() != 0 ||
      begin.back() != problem.literals.size())
    invalid("clause offsets do not match the clause count and the literals");
  for (std::size_t c = 0; c + 1 < begin.size(); ++c)
    if (begin[c] > begin[c + 1]) invalid("clause offsets decrease");
  for (const std::int32_t v : problem.literals)
    if (v < 0 || v >= problem.variableCount)
      invalid("variable index " + std::to_string(v) + " outside the variable count");
}

}  // namespace

OccurrenceTable::OccurrenceTable(const Problem& problem)
    : variableCount(problem.variableCount), clauseCount(problem.clauseCount) {
  checkShape(problem);
  const auto n = static_cast<std::size_t>(variableCount);
  clauseSizes.assign(static_cast<std::size_t>(clauseCount), 0);
  begin.assign(n + 1, 0);
  // lastClause[v]: the last clause that counted v, so that a repeat within a clause counts once.
  std::vector<std::int32_t> lastClause(n, -1);
  for (std::int32_t c = 0; c < clauseCount; ++c) {
    for (const std::int32_t v : problem.clause(c)) {
      auto& last = lastClause[static_cast<std::size_t>(v)];
      if (last == c) continue;
      last = c;
      ++begin[static_cast<std::size_t>(v) + 1];
      ++clauseSizes[static_cast<std::size_t>(c)];
    }
  }
  // Prefix sums make begin[v] the start of v's list; shifted up by one, begin[v + 1] is v's
  // filling cursor, which ends at v's end, the start of v + 1's list. The total never exceeds
  // the literal count, which fits the offsets' type.
  for (std::size_t v = 1; v <= n; ++v) begin[v] += begin[v - 1];
  clauses.resize(begin[n]);
  for (std::size_t v = n; v > 0; --v) begin[v] = begin[v - 1];
  std::fill(lastClause.begin(), lastClause.end(), -1);
  for (std::int32_t c = 0; c < clauseCount; ++c) {
    for (const std::int32_t v : problem.clause(c)) {
      auto& last = lastClause[static_cast<std::size_t>(v)];
      if (last == c) continue;
      last = c;
      clauses[begin[static_cast<std::size_t>(v) + 1]++] = c;
    }
  }
}

}  // namespace monocount
