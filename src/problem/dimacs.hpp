#pragma once

#include <string>
#include <vector>

#include "problem/problem.hpp"

namespace monocount {

// Reads a DIMACS CNF file into a Problem. Throws InputError ("PATH:LINE: reason") for a file
// that cannot be opened or read and for every line outside the accepted format; never reads or
// writes out of bounds. Accepted: comment lines (first field "c"), empty lines, one problem
// line "p FORMAT VARIABLES CLAUSES" (1 <= VARIABLES <= 100,000,000, CLAUSES >= 0) before every
// clause line, then exactly CLAUSES clause lines of literals 1..VARIABLES ending in the field
// "0" (a lone "0" is an empty clause), after which lines of one field ("%", "0") change
// nothing. Numbers read as atoi reads them ("12a" is 12) but must fit in 32 bits.
Problem readDimacs(const std::string& path);

// Appends to `fields` every piece of `line` between runs of separators. A separator is the
// `delimiter` or any white space character (space, tab, line feed, carriage return, vertical
// tab, form feed), so no field is ever empty and a line of blanks has no fields.
void splitLine(const std::string& line, char delimiter, std::vector<std::string>& fields);

}  // namespace monocount
