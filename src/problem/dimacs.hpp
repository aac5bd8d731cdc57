#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "problem/input_source.hpp"
#include "problem/literal_weights.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The longest line the reader takes: far beyond any real clause, and a bound on the memory a
// line without a line feed (/dev/zero) can take.
inline constexpr std::size_t kMaxLineBytes = std::size_t{64} << 20;

// Reads a DIMACS CNF file into a Problem: `path`, or standard input for "-", compressed or not
// (InputSource). Throws InputError ("NAME:LINE: reason") for an input that cannot be opened,
// read or decompressed and for everything outside the accepted format; never reads or writes
// out of bounds, and takes memory in proportion to what the input holds, whatever its problem
// line declares. Accepted:
//   - a UTF-8 byte-order mark before the first line, which is skipped;
//   - fields split at any run of white space; comment lines (first field "c") and blank lines
//     anywhere;
//   - one problem line "p cnf VARIABLES CLAUSES", exactly four fields, 1 <= VARIABLES <=
//     100,000,000, CLAUSES >= 0, before every clause;
//   - then exactly CLAUSES clauses of literals 1 .. VARIABLES, each ended by the field "0" (a
//     "0" alone is an empty clause). A clause may continue over several lines, but a "0" is the
//     last field of its line: a line ends at most one clause;
//   - after the last clause, only the fields "%" and "0" (as many benchmark files end).
// Numbers read as atoi reads them ("12a" is 12, "+3" is 3) but must fit in 32 bits. Lines are
// at most kMaxLineBytes long. Fields quoted in messages are made visible (quotedText).
// Show lines are read as readWeightedDimacs reads them (the count is then over the shown
// variables); a file that carries weights (a weight line, or type wmc or pwmc) is refused at
// that line, as counting it without them would answer another question.
Problem readDimacs(const std::string& path);
Problem readDimacs(InputSource& input);

// What a model-counting file asks for: a count (mc) or a weighted count (wmc), each possibly
// projected onto some variables (pmc, pwmc).
enum class CountType { mc, wmc, pmc, pwmc };

// A file as readWeightedDimacs reads it.
struct WeightedFormula {
  Problem problem;         // projected onto the shown variables when the file shows some
  LiteralWeights weights;  // of problem's variables
  // The file's type line, or else what its lines imply: weighted when it has weight lines,
  // projected when it has show lines.
  CountType type = CountType::mc;
};

// Reads a DIMACS CNF file as readDimacs does, and besides its clauses the comment lines of the
// model-counting competition's weighted and projected formats (every other comment line stays
// a comment, "c p cnf ..." included):
//   - "c t TYPE" with TYPE one of mc, wmc, pmc, pwmc (exactly these three fields), at most one;
//   - "c p weight LITERAL WEIGHT 0": LITERAL a variable number or its negation, WEIGHT a
//     non-negative decimal or fraction (WeightValue), at most one line per literal. A variable
//     without any weight line weighs 1 on both literals; a variable with one weighs 1 - w on
//     the other literal (0 <= w <= 1 needed), so its total is 1;
//   - "c p show VARIABLE... 0": the variables the count is projected onto. The formula read is
//     then the file's formula without every clause that holds a hidden variable (setting every
//     hidden variable true satisfies them: the projection of a monotone formula), over the
//     shown variables, renumbered in increasing order. Weights of hidden variables are read and
//     checked but leave with them.
// These lines may stand anywhere, before the problem line too. Refused, besides what readDimacs
// refuses, with the file and the offending line: a malformed type, weight or show line; a weight
// that is negative, not finite, unreadable or beyond a double's range; a literal or variable
// out of range; a second weight for a literal; a single weight above 1; weights of one variable
// so far apart that a chance falls below a double's range; weight lines in a file of type mc or
// pmc, show lines in one of type mc or wmc, type pmc or pwmc without a show line, show lines
// that show no variable.
WeightedFormula readWeightedDimacs(const std::string& path);
WeightedFormula readWeightedDimacs(InputSource& input);

}  // namespace monocount
