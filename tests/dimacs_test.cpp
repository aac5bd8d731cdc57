#include "problem/dimacs.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "problem/input_error.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Clauses;

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

TEST(ReadDimacs, StoresEveryAcceptedLayout) {
  const Clauses example{{0, 1}, {1, 2}};
  const struct {
    const char* name;
    std::string content;
    std::int32_t variables;
    Clauses clauses;
  } cases[] = {
      {"worked-example", "c example\np cnf 3 2\n\n1 2 0\n2 3 0\n", 3, example},
      {"tabs", "p\tcnf\t3\t2\n1\t2\t0\n\t2\t3 0\n", 3, example},
      {"doubled-spaces", "p cnf  3 2\n1  2 0\n 2 3 0  \n", 3, example},
      {"crlf", "c\r\np cnf 3 2\r\n1 2 0\r\n2 3 0\r\n", 3, example},
      {"byte-order-mark", "\xef\xbb\xbfp cnf 3 2\n1 2 0\n2 3 0\n", 3, example},
      // Empty lines and lines of blanks take no clause index.
      {"blank-lines", "p cnf 3 2\n   \n1 2 0\n\t\n\n2 3 0\n", 3, example},
      {"no-final-line-feed", "p cnf 3 2\n1 2 0\n2 3 0", 3, example},
      {"trailing-percent-and-zero", "p cnf 3 2\n1 2 0\n2 3 0\n%\n0\n\n% 0\n", 3, example},
      {"comments-anywhere", "c 1 2 0\np cnf 3 2\nc p cnf 9 9\n1 2 0\nc\n2 3 0\nc end\n", 3, example},
      // A clause ends at its 0, wherever the lines break, comments between.
      {"clauses-over-lines", "p cnf 3 2\n1\n2 0\n2\nc between\n\n3\n0\n", 3, example},
      {"atoi-numbers", "p cnf +12 2x\n12a 0\n+3 1b 0\n", 12, {{11}, {2, 0}}},
      {"duplicates", "p cnf 2 2\n1 1 2 0\n2 2 0\n", 2, {{0, 0, 1}, {1, 1}}},
      {"empty-clause", "p cnf 2 3\n1 0\n0\n2 0\n", 2, {{0}, {}, {1}}},
      {"unused-variables", "p cnf 4 1\n2 0\n", 4, {{1}}},
      {"no-clauses", "p cnf 2 0\n%\n", 2, {}},
      // Projected: the clauses touching a hidden variable leave, the shown ones are renumbered.
      {"projected", "c t pmc\np cnf 4 3\nc p show 4 2 0\nc p show 2 0\n1 2 0\n2 4 0\n4 0\n", 2, {{0, 1}, {1}}},
      {"other-c-p-lines", "c p cnf 9 9\nc p weights 1 2\nc t is a comment\np cnf 3 2\n1 2 0\n2 3 0\n", 3, example},
      // Nothing is held per declared variable.
      {"many-variables", "p cnf 100000000 1\n100000000 0\n", 100'000'000, {{99'999'999}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Problem problem = readDimacs(writeFile(std::string(c.name) + ".cnf", c.content));
    EXPECT_EQ(problem.variableCount, c.variables);
    EXPECT_EQ(problem.clauseCount, static_cast<std::int32_t>(c.clauses.size()));
    EXPECT_EQ(support::clausesOf(problem), c.clauses);
    EXPECT_LE(problem.literals.capacity() + problem.clauseBegin.capacity(), 64u);
  }
}

// Lines longer than the reader's first buffer (1 MiB), compressed or not, from a file and
// from memory (the fuzz target's way in).
TEST(ReadDimacs, ReadsEveryInputKindAndLongLines) {
  const auto example = [](const std::string& file) { return support::clausesOf(readDimacs(fixture(file))); };
  for (const char* file : {"example.cnf.gz", "example.cnf.xz", "example.cnf.bz2", "example.cnf.zst",
                           "gzip-without-suffix.cnf"})
    EXPECT_EQ(example(file), (Clauses{{0, 1}, {1, 2}})) << file;

  constexpr std::int32_t kVariables = 200000;
  std::string content = "p cnf " + std::to_string(kVariables) + " 2\r\n";
  for (int clause = 0; clause < 2; ++clause) {
    for (std::int32_t v = 1; v <= kVariables; ++v) content += std::to_string(v) + ' ';
    content += "0\r\n";
  }
  InputSource memory(content, "long lines");
  const Problem problem = readDimacs(memory);
  ASSERT_EQ(problem.clauseCount, 2);
  for (std::int32_t c = 0; c < 2; ++c) {
    const auto clause = problem.clause(c);
    ASSERT_EQ(clause.size(), static_cast<std::size_t>(kVariables));
    EXPECT_EQ(clause.back(), kVariables - 1);
  }
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
      {"unsupported-format.cnf", ":1: unsupported format \"wcnf\": only cnf is read"},
      {"problem-line-extras.cnf", ":1: unsupported format \"dnf\": only cnf is read"},
      {"extra-problem-fields.cnf", ":1: problem line has 5 fields, expected \"p cnf VARIABLES CLAUSES\""},
      // Nothing after the declared clauses holds a literal.
      {"literal-after-clauses.cnf", ":3: more clauses than declared: the problem line (line 1) declares 1"},
      {"literal-without-clauses.cnf", ":2: more clauses than declared: the problem line (line 1) declares 0"},
      {"spanning-past-the-count.cnf", ":4: more clauses than declared: the problem line (line 1) declares 1"},
      {"word-after-clauses.cnf",
       ":4: found \"foo\" after the declared clauses, where only \"%\" and \"0\" may follow"},
      {"unprintable-field.cnf", ":2: expected a variable number, found \"x\\0\\x1f\\xff\xc3\xa9\\\\\""},
      {"truncated.cnf.gz", ": corrupt gzip data: unexpected end of data"},
      {"truncated.cnf.zst", ": corrupt zstd data: unexpected end of data"},
      {"plain-named.cnf.gz", ": cannot read: not gzip data, although the name ends in .gz"},
      {"weighted.cnf",
       ":3: a weighted file (weight lines, or type wmc or pwmc): this reader counts without weights and would ignore them"},
  };
  for (const auto& c : cases) {
    const std::string path = fixture(c.file);
    EXPECT_EQ(refusal(path), path + c.message);
  }
}

TEST(ReadWeightedDimacs, TurnsWeightsIntoChancesAndAFactor) {
  const struct {
    const char* name;
    std::string content;
    CountType type;
    std::int32_t variable;  // 0-based, after projection
    double truth, falsity;
    double log2Factor;
  } cases[] = {
      {"both-literals", "c t wmc\np cnf 3 2\nc p weight 1 0.9 0\nc p weight -1 0.1 0\n1 2 0\n2 3 0\n", CountType::wmc, 0,
       0.9, 0.1, 2},
      // The other literal weighs 1 - w, to its own precision.
      {"one-literal", "c t wmc\np cnf 2 1\nc p weight 2 0.999999999 0\n1 2 0\n", CountType::wmc, 1, 0.999999999, 1e-9, 1},
      {"negative-literal-only", "p cnf 2 1\nc p weight -2 0.25 0\n1 2 0\n", CountType::wmc, 1, 0.75, 0.25, 1},
      {"unnormalized", "p cnf 1 1\nc p weight 1 3 0\nc p weight -1 1/3 0\n1 0\n", CountType::wmc, 0, 0.9, 0.1,
       std::log2(10.0 / 3)},
      {"before-the-problem-line", "c p weight -1 0 0\np cnf 1 1\n1 0\n", CountType::wmc, 0, 1, 0, 0},
      {"unweighted", "c t mc\np cnf 2 1\n1 2 0\n", CountType::mc, 1, 0.5, 0.5, 2},
      // Variable 4 becomes 1; the hidden variable 1's weight is checked, then leaves.
      {"projected", "c t pwmc\np cnf 4 2\nc p show 2 4 0\nc p weight 1 0.5 0\nc p weight -4 0.8 0\n1 2 0\n2 4 0\n",
       CountType::pwmc, 1, 0.2, 0.8, 1},
      {"projected-implied", "p cnf 2 1\nc p show 2 0\n2 0\n", CountType::pmc, 0, 0.5, 0.5, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const WeightedFormula formula = readWeightedDimacs(writeFile(std::string(c.name) + ".cnf", c.content));
    EXPECT_EQ(formula.type, c.type);
    const VariableProbabilities law = formula.weights.law();
    EXPECT_DOUBLE_EQ(law.truth(c.variable), c.truth);
    EXPECT_DOUBLE_EQ(law.falsity(c.variable), c.falsity);
    const ScaledNumber factor = formula.weights.factor();
    EXPECT_NEAR(std::log2(static_cast<double>(factor.mantissa)) + static_cast<double>(factor.exponent), c.log2Factor, 1e-12);
  }
}

TEST(ReadWeightedDimacs, RefusesTypeWeightAndShowLinesWithFileLineAndReason) {
  const std::string form = "expected \"c p weight LITERAL WEIGHT 0\"";
  const struct {
    const char* name;
    std::string content;
    std::string message;  // after the path
  } cases[] = {
      {"type-extra", "c t wmc 1\np cnf 1 0\n", ":1: type line with more than three fields, expected \"c t wmc\""},
      {"type-twice", "c t wmc\nc t wmc\np cnf 1 0\n", ":2: second type line (the first is on line 1)"},
      {"no-literal", "p cnf 1 0\nc p weight\n", ":2: weight line without a literal: " + form},
      {"literal-word", "p cnf 1 0\nc p weight x 1 0\n", ":2: expected a literal, found \"x\""},
      {"literal-not-atoi", "p cnf 1 0\nc p weight 1x 1 0\n", ":2: expected a literal, found \"1x\""},
      {"literal-zero", "p cnf 1 0\nc p weight 0 1 0\n",
       ":2: weight for literal 0: a literal is a variable number or its negation"},
      {"no-weight", "p cnf 1 0\nc p weight 1\n", ":2: weight line without a weight: " + form},
      {"unreadable", "p cnf 1 0\nc p weight 1 0.5x 0\n",
       ":2: expected a weight (a decimal such as 0.9 or 1e-9, or a fraction such as 1/3), found \"0.5x\""},
      {"negative", "p cnf 1 0\nc p weight 1 -1 0\n", ":2: negative weight \"-1\""},
      {"not-finite", "p cnf 1 0\nc p weight 1 nan 0\n", ":2: weight \"nan\" is not a finite number"},
      {"over-zero", "p cnf 1 0\nc p weight 1 1/0 0\n", ":2: weight \"1/0\" divides by zero"},
      {"out-of-range", "p cnf 1 0\nc p weight 1 1e400 0\n",
       ":2: weight \"1e400\" is outside the range of a double (2.2e-308 to 1.8e308), and not 0"},
      {"no-final-zero", "p cnf 1 0\nc p weight 1 0.5\n", ":2: weight line does not end with 0: " + form},
      {"final-not-zero", "p cnf 1 0\nc p weight 1 0.5 1\n", ":2: weight line does not end with 0: " + form},
      {"extra-fields", "p cnf 1 0\nc p weight 1 0.5 0 0\n", ":2: weight line has 7 fields, " + form},
      {"literal-too-large", "p cnf 2 0\nc p weight 1 1 0\nc p weight -3 0.5 0\n",
       ":3: literal -3 exceeds the declared variable count 2"},
      {"literal-too-large-early", "c p weight 3 0.5 0\np cnf 2 0\n", ":1: literal 3 exceeds the declared variable count 2"},
      {"weight-twice", "p cnf 2 0\nc p weight -1 0.5 0\nc p weight 1 0.5 0\nc p weight -1 0.2 0\n",
       ":4: second weight for literal -1 (the first is on line 2)"},
      {"one-weight-above-one", "p cnf 1 0\nc p weight 1 1.5 0\n",
       ":2: only literal 1 of its variable has a weight (1.5), and the other's weight, taken as 1 - 1.5, is no weight: "
       "give both literals a weight"},
      {"far-apart", "p cnf 1 0\nc p weight 1 1e-300 0\nc p weight -1 1e300 0\n",
       ":3: the weights of variable 1 (1e-300 and 1e+300) are so far apart that one chance is below a double's range "
       "(2.2e-308)"},
      {"weight-in-mc", "c t mc\np cnf 1 0\nc p weight 1 0.5 0\n",
       ":3: weight line in a file of type mc (line 1): a weighted count is of type wmc or pwmc"},
      {"show-in-wmc", "c t wmc\np cnf 1 0\nc p show 1 0\n",
       ":3: show line in a file of type wmc (line 1): a projected count is of type pmc or pwmc"},
      {"pmc-without-show", "c t pmc\np cnf 1 0\n",
       ":1: type pmc (a projected count) but no show line \"c p show VARIABLE... 0\""},
      {"shows-nothing", "p cnf 1 0\nc p show 0\n", ":2: the show lines show no variable, so there is nothing to count"},
      {"show-without-zero", "p cnf 2 0\nc p show 1 2\n", ":2: show line does not end with 0: last field is 2"},
      {"show-empty", "p cnf 2 0\nc p show\n", ":2: show line does not end with 0: expected \"c p show VARIABLE... 0\""},
      {"show-negative", "p cnf 2 0\nc p show -1 0\n", ":2: negative number -1 in a show line, which lists variables"},
      {"show-zero-inside", "p cnf 2 0\nc p show 1 0 2 0\n", ":2: 0 before the last field of a show line: 0 only ends it"},
      {"show-word", "p cnf 2 0\nc p show x 0\n", ":2: expected a variable number, found \"x\""},
      {"show-too-large", "p cnf 2 0\nc p show 3 0\n", ":2: variable 3 exceeds the declared variable count 2"},
  };
  for (const auto& c : cases) {
    const std::string path = writeFile(std::string(c.name) + ".cnf", c.content);
    std::string message = "(accepted)";
    try {
      readWeightedDimacs(path);
    } catch (const InputError& error) {
      message = error.what();
    }
    EXPECT_EQ(message, path + c.message) << c.name;
  }
}

TEST(ReadDimacs, RefusesAnUnreadablePathWithTheSystemsReason) {
  const std::string missing = fixture("no-such-file.cnf");
  EXPECT_EQ(refusal(missing), missing + ": cannot open: " + std::strerror(ENOENT));
  EXPECT_EQ(refusal(""), std::string("\"\": cannot open: ") + std::strerror(ENOENT));
  const std::string directory = fixture("");
  EXPECT_EQ(refusal(directory), directory + ": cannot read: " + std::strerror(EISDIR));
  // A line feed never comes: refused at the line limit instead of growing until memory runs out.
  EXPECT_EQ(refusal("/dev/zero"), "/dev/zero:1: line longer than 64 MiB, the longest line the reader takes");
}

}  // namespace
}  // namespace monocount
