#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace monocount {

// Appends to `fields` every piece of `line` between runs of separators. A separator is the
// `delimiter` or any white space character (space, tab, line feed, carriage return, vertical
// tab, form feed), so no field is ever empty and a line of blanks has no fields.
void splitLine(const std::string& line, char delimiter, std::vector<std::string>& fields);

// A monotone CNF formula in the shape the estimators need: for every variable, the clauses
// it occurs in. Loaded once, then shared by reference; never copied.
class Problem {
 public:
  std::int32_t variableCount = 0;  // from the problem line; at least 1 once loaded
  std::int32_t clauseCount = 0;    // declared on the problem line; equals the clause lines read
  // occurrences[v]: the 0-based index of every clause line naming variable v + 1, in file
  // order, once per naming (a variable named twice in a clause holds its index twice).
  std::vector<std::vector<std::int32_t>> occurrences;
  std::vector<std::int32_t> covered;  // scratch flags of coverPosition, one per clause

  // Reads a DIMACS CNF file. Throws InputError (file, line, reason) for a file that cannot be
  // opened or read and for every line outside the accepted format; never reads or writes out
  // of bounds. Accepted: comment lines (first field "c"), empty lines, one problem line
  // "p FORMAT VARIABLES CLAUSES" (VARIABLES >= 1, CLAUSES >= 0) before every clause line, then
  // exactly CLAUSES clause lines of literals 1..VARIABLES ending in the field "0" (a lone "0"
  // is an empty clause), after which lines of one field ("%", "0") change nothing.
  // Numbers read as atoi reads them ("12a" is 12) but must fit in 32 bits. On a refusal the
  // Problem is left unchanged; an accepted file replaces the whole model.
  void load(std::string path);

  // The first 0-based position j of `order` such that its first j + 1 variables touch every
  // clause; 0 when no prefix does. Reads only the first variableCount entries and none after
  // the returned position; an entry read that is no variable index, or an order too short,
  // throws std::out_of_range instead of reading outside. Rewrites `covered`.
  std::int32_t coverPosition(std::vector<std::int32_t> order);

  // False when some clause holds no variable (an empty clause): then no set of variables
  // touches every clause and the formula has no satisfying assignment.
  bool everyClauseTouchable() const;
};

}  // namespace monocount
