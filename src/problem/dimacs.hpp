#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "problem/input_source.hpp"
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
Problem readDimacs(const std::string& path);
Problem readDimacs(InputSource& input);

// Cuts the first field off `rest`: skips white space (space, tab, line feed, carriage return,
// vertical tab, form feed), then takes everything up to the next white space or the end as
// `field`, and leaves `rest` after it. False, with `rest` empty, when only white space is left;
// so no field is ever empty.
bool nextField(std::string_view& rest, std::string_view& field);

}  // namespace monocount
