#include "problem/dimacs.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "problem/input_error.hpp"

namespace monocount {
namespace {

using Lists = std::vector<std::vector<std::int32_t>>;

std::string fixture(const std::string& name) {
  return std::string(MONOCOUNT_FIXTURES) + "/reader/" + name;
}

// Writes `content` byte for byte to a file of the test temp directory, named apart from those of
// other test processes running at the same time; returns its path.
std::string writeFile(const std::string& name, const std::string& content) {
  const std::string path = testing::TempDir() + "monocount_problem_" + std::to_string(::getpid()) + "_" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// The message of the InputError that reading `path` throws, or "(accepted)".
std::string refusal(const std::string& path) {
  try {
    readDimacs(path);
  } catch (const InputError& error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(SplitLine, CutsAtRunsOfWhiteSpaceAndTheDelimiter) {
  const struct {
    std::string line;
    char delimiter;
    std::vector<std::string> fields;
  } cases[] = {
      {"", ' ', {}},
      {" \t\r\v\f ", ' ', {}},                       // a line of blanks has no fields
      {"  1  2 0  ", ' ', {"1", "2", "0"}},          // no empty field from doubled spaces
      {"1\t2\t0\r", ' ', {"1", "2", "0"}},           // tabs separate; a CR is no field
      {"a,b,,c", ',', {"a", "b", "c"}},
      {"p\tcnf  3 2", ' ', {"p", "cnf", "3", "2"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> fields{"kept"};
    splitLine(c.line, c.delimiter, fields);
    std::vector<std::string> expected{"kept"};  // appends, never clears
    expected.insert(expected.end(), c.fields.begin(), c.fields.end());
    EXPECT_EQ(fields, expected) << '"' << c.line << '"';
  }
}

TEST(ReadDimacs, StoresEveryAcceptedLayout) {
  const Lists example{{0}, {0, 1}, {1}};
  const struct {
    const char* name;
    std::string content;
    std::int32_t variables, clauses;
    Lists lists;
  } cases[] = {
      {"worked-example", "c example\np cnf 3 2\n\n1 2 0\n2 3 0\n", 3, 2, example},
      {"tabs", "p\tcnf\t3\t2\n1\t2\t0\n\t2\t3 0\n", 3, 2, example},
      {"doubled-spaces", "p cnf  3 2\n1  2 0\n 2 3 0  \n", 3, 2, example},
      {"crlf", "c\r\np cnf 3 2\r\n1 2 0\r\n2 3 0\r\n", 3, 2, example},
      // Empty lines and lines of blanks take no clause index.
      {"blank-lines", "p cnf 3 2\n   \n1 2 0\n\t\n\n2 3 0\n", 3, 2, example},
      {"no-final-line-feed", "p cnf 3 2\n1 2 0\n2 3 0", 3, 2, example},
      {"trailing-percent-and-zero", "p cnf 3 2\n1 2 0\n2 3 0\n%\n0\n\n", 3, 2, example},
      {"comments-anywhere", "c 1 2 0\np cnf 3 2\nc p cnf 9 9\n1 2 0\nc\n2 3 0\nc end\n", 3, 2,
       example},
      // The format word is not examined; fields after the clause count are ignored.
      {"problem-line-extras", "p dnf 3 2 7 x\n1 2 0\n2 3 0\n", 3, 2, example},
      {"atoi-numbers", "p cnf +12 2x\n12a 0\n+3 1b 0\n", 12, 2,
       {{1}, {}, {1}, {}, {}, {}, {}, {}, {}, {}, {}, {0}}},
      {"duplicates", "p cnf 2 2\n1 1 2 0\n2 2 0\n", 2, 2, {{0, 0}, {0, 1, 1}}},
      {"empty-clause", "p cnf 2 3\n1 0\n0\n2 0\n", 2, 3, {{0}, {2}}},  // clause 1 empty
      {"unused-variables", "p cnf 4 1\n2 0\n", 4, 1, {{}, {0}, {}, {}}},
      {"no-clauses", "p cnf 2 0\n%\n", 2, 0, {{}, {}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Problem problem = readDimacs(writeFile(std::string(c.name) + ".cnf", c.content));
    EXPECT_EQ(problem.variableCount, c.variables);
    EXPECT_EQ(problem.clauseCount, c.clauses);
    EXPECT_EQ(problem.occurrences, c.lists);
  }
}

TEST(ReadDimacs, ReadsLinesLongerThanItsBuffer) {
  // Three CRLF clause lines of 40000 literals each, about 230 KB apiece.
  constexpr std::int32_t kVariables = 40000;
  std::string content = "p cnf " + std::to_string(kVariables) + " 3\r\n";
  for (int clause = 0; clause < 3; ++clause) {
    for (std::int32_t v = 1; v <= kVariables; ++v) content += std::to_string(v) + ' ';
    content += "0\r\n";
  }
  const Problem problem = readDimacs(writeFile("long-lines.cnf", content));
  ASSERT_EQ(problem.occurrences.size(), static_cast<std::size_t>(kVariables));
  for (const auto& list : problem.occurrences) ASSERT_EQ(list, (std::vector<std::int32_t>{0, 1, 2}));
}

TEST(ReadDimacs, RefusesWithFileLineAndReason) {
  const struct {
    const char* file;
    const char* message;  // after the path
  } cases[] = {
      {"empty.cnf", ": empty file: expected a problem line \"p cnf VARIABLES CLAUSES\""},
      {"no-problem-line.cnf", ":2: end of file without a problem line"},
      {"clause-before-problem-line.cnf", ":2: clause line before the problem line"},
      {"second-problem-line.cnf", ":3: second problem line (the first is on line 1)"},
      {"short-problem-line.cnf",
       ":1: problem line has 3 fields, expected \"p cnf VARIABLES CLAUSES\""},
      {"zero-variables.cnf", ":1: the variable count must be at least 1, found 0"},
      {"too-many-variables.cnf", ":1: the variable count 2000000000 exceeds the supported maximum 100000000"},
      {"negative-clause-count.cnf", ":1: the clause count must be at least 0, found -1"},
      {"variable-count-without-digits.cnf", ":1: expected the variable count, found \"n\""},
      {"clause-count-overflow.cnf", ":1: number \"2147483648\" does not fit in a 32-bit integer"},
      {"negative-literal.cnf",
       ":3: negative literal -2: only monotone formulas (positive literals) are accepted"},
      // The most negative 32-bit value still reads as a number.
      {"most-negative-literal.cnf",
       ":2: negative literal -2147483648: only monotone formulas (positive literals) are "
       "accepted"},
      {"zero-inside-clause.cnf", ":2: literal 0 before the last field: 0 only ends a clause"},
      {"literal-without-digits.cnf", ":2: expected a variable number, found \"x\""},
      {"variable-too-large.cnf", ":7: variable 12 exceeds the declared variable count 10"},
      {"largest-literal.cnf", ":2: variable 2147483647 exceeds the declared variable count 3"},
      {"literal-overflow.cnf", ":2: number \"2147483648\" does not fit in a 32-bit integer"},
      {"missing-terminator.cnf", ":2: clause does not end with 0: last field is \"2\""},
      // Within the declared count a lone "%" is a clause line without its 0.
      {"percent-inside-clause-count.cnf", ":3: clause does not end with 0: last field is \"%\""},
      {"too-many-clauses.cnf",
       ":3: more clauses than declared: the problem line (line 1) declares 1"},
      {"too-few-clauses.cnf",
       ":3: end of file after 2 clauses, but the problem line (line 1) declares 3"},
  };
  for (const auto& c : cases) {
    const std::string path = fixture(c.file);
    EXPECT_EQ(refusal(path), path + c.message);
  }
}

TEST(ReadDimacs, RefusesAnUnreadablePathWithTheSystemsReason) {
  const std::string missing = fixture("no-such-file.cnf");
  EXPECT_EQ(refusal(missing), missing + ": cannot open: " + std::strerror(ENOENT));
  const std::string directory = fixture("");
  EXPECT_EQ(refusal(directory), directory + ": cannot read: " + std::strerror(EISDIR));
}

}  // namespace
}  // namespace monocount
