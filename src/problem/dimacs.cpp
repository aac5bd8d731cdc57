#include "problem/dimacs.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <vector>

#include "problem/input_error.hpp"
#include "problem/visible_text.hpp"
#include "problem/weight_value.hpp"

namespace monocount {
namespace {

// Every variable costs the estimators a slot in every order and table; a count far beyond any
// real formula would exhaust memory before the first sample.
constexpr std::int32_t kMaxVariables = 100'000'000;

// The clause offsets are 32-bit.
constexpr std::size_t kMaxLiterals = std::numeric_limits<std::uint32_t>::max();

bool isBlank(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// A field read as atoi reads it (optional sign, then decimal digits up to the first other
// character), except that a field without digits and a value outside 32 bits are told apart
// from a plain number instead of reading as 0 or wrapping.
struct Number {
  enum Status { kOk, kNoDigits, kTooLarge } status;
  std::int32_t value;
};

Number readNumber(std::string_view field) {
  std::size_t i = 0;
  const bool negative = field[0] == '-';
  if (field[0] == '-' || field[0] == '+') ++i;
  if (i == field.size() || !isDigit(field[i])) return {Number::kNoDigits, 0};
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (; i < field.size() && isDigit(field[i]); ++i) {
    magnitude = magnitude * 10 + (field[i] - '0');
    if (magnitude > limit) return {Number::kTooLarge, 0};
  }
  return {Number::kOk, static_cast<std::int32_t>(negative ? -magnitude : magnitude)};
}

// Cuts the first field off `rest`: skips white space (space, tab, line feed, carriage return,
// vertical tab, form feed), then takes everything up to the next white space or the end as
// `field`, and leaves `rest` after it. False, with `rest` empty, when only white space is left;
// so no field is ever empty.
bool nextField(std::string_view& rest, std::string_view& field) {
  std::size_t i = 0;
  while (i < rest.size() && isBlank(rest[i])) ++i;
  std::size_t end = i;
  while (end < rest.size() && !isBlank(rest[end])) ++end;
  field = rest.substr(i, end - i);
  rest.remove_prefix(end);
  return !field.empty();
}

// A field that is exactly an optional sign and decimal digits, within 32 bits (the weight and
// show lines are new and read strictly, unlike the clauses' atoi fields).
Number readStrictNumber(std::string_view field) {
  const Number read = readNumber(field);
  if (read.status != Number::kOk) return read;
  const std::size_t sign = field[0] == '-' || field[0] == '+' ? 1 : 0;
  if (!std::all_of(field.begin() + static_cast<std::ptrdiff_t>(sign), field.end(), isDigit)) return {Number::kNoDigits, 0};
  return read;
}

const char* typeName(CountType type) {
  switch (type) {
    case CountType::mc: return "mc";
    case CountType::wmc: return "wmc";
    case CountType::pmc: return "pmc";
    case CountType::pwmc: return "pwmc";
  }
  return "";
}

std::optional<CountType> countType(std::string_view word) {
  for (const CountType type : {CountType::mc, CountType::wmc, CountType::pmc, CountType::pwmc})
    if (word == typeName(type)) return type;
  return std::nullopt;
}

bool isWeightedType(CountType type) { return type == CountType::wmc || type == CountType::pwmc; }
bool isProjectedType(CountType type) { return type == CountType::pmc || type == CountType::pwmc; }

std::string numberText(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

constexpr const char* kWeightLineForm = "expected \"c p weight LITERAL WEIGHT 0\"";

// The physical lines of an input, without their line feed, handed out in place from one
// buffer; a last line without a line feed is still a line. A line longer than kMaxLineBytes
// is refused, so the buffer never grows beyond that.
class LineSource {
 public:
  explicit LineSource(InputSource& input) : input_(input), buffer_(std::make_unique_for_overwrite<char[]>(capacity_)) {}

  // The next line, valid until the next call; false at the end of the input.
  bool next(std::string_view& line) {
    char* data = buffer_.get();
    for (;;) {
      if (scan_ < size_) {
        const void* feed = std::memchr(data + scan_, '\n', size_ - scan_);
        if (feed != nullptr) {
          const auto end = static_cast<std::size_t>(static_cast<const char*>(feed) - data);
          line = std::string_view(data + pos_, end - pos_);
          pos_ = scan_ = end + 1;
          ++lines_;
          return true;
        }
        scan_ = size_;
      }
      if (size_ - pos_ > kMaxLineBytes)
        throw InputError(input_.name() + ':' + std::to_string(lines_ + 1) + ": line longer than " +
                         std::to_string(kMaxLineBytes >> 20) + " MiB, the longest line the reader takes");
      if (ended_) {
        if (pos_ == size_) return false;
        line = std::string_view(data + pos_, size_ - pos_);
        pos_ = scan_ = size_;
        ++lines_;
        return true;
      }
      if (pos_ > 0) {  // keep only the unfinished line
        std::memmove(data, data + pos_, size_ - pos_);
        size_ -= pos_;
        scan_ -= pos_;
        pos_ = 0;
      }
      if (size_ == capacity_) {
        const std::size_t grown = std::min(2 * capacity_, kMaxLineBytes + 1);
        auto larger = std::make_unique_for_overwrite<char[]>(grown);
        std::memcpy(larger.get(), data, size_);
        buffer_ = std::move(larger);
        capacity_ = grown;
        data = buffer_.get();
      }
      const std::size_t n = input_.read(data + size_, capacity_ - size_);
      ended_ = n == 0;
      size_ += n;
    }
  }

  // Lines handed out so far: the number of the current line.
  std::int64_t lines() const { return lines_; }

 private:
  InputSource& input_;
  std::size_t capacity_ = std::size_t{1} << 20;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;   // start of the next line
  std::size_t scan_ = 0;  // [pos_, scan_) holds no line feed
  std::size_t size_ = 0;
  bool ended_ = false;
  std::int64_t lines_ = 0;
};

class DimacsReader {
 public:
  DimacsReader(InputSource& input, bool weightsAllowed)
      : input_(input), lines_(input), weightsAllowed_(weightsAllowed) {}

  WeightedFormula read() {
    std::string_view line;
    try {
      while (lines_.next(line)) {
        if (lines_.lines() == 1 && line.substr(0, 3) == "\xef\xbb\xbf") line.remove_prefix(3);
        readLine(line);
      }
    } catch (const std::bad_alloc&) {
      throw refuse("not enough memory to hold the formula: " + std::to_string(problem_.literals.size()) +
                   " literals of " + std::to_string(clausesRead_) + " clauses read");
    }
    if (lines_.lines() == 0)
      throw InputError(input_.name() + ": empty file: expected a problem line \"p cnf VARIABLES CLAUSES\"");
    if (problemLine_ == 0) throw refuse("end of file without a problem line");
    if (open_)
      throw InputError(input_.name() + ':' + std::to_string(openLine_) + ": clause does not end with 0: last field is " +
                       openField_);
    if (clausesRead_ < declaredClauses_)
      throw refuse("end of file after " + std::to_string(clausesRead_) + " clauses, but the problem line (line " +
                   std::to_string(problemLine_) + ") declares " + std::to_string(declaredClauses_));
    problem_.variableCount = variables_;
    problem_.clauseCount = declaredClauses_;
    checkWeightsAndShows();
    WeightedFormula formula;
    const std::vector<std::int32_t> shown = project();
    formula.weights = LiteralWeights(problem_.variableCount, variableWeights(shown));
    formula.problem = std::move(problem_);
    formula.type = type_.value_or(
        weightLines_.empty() ? (showLine_ == 0 ? CountType::mc : CountType::pmc)
                             : (showLine_ == 0 ? CountType::wmc : CountType::pwmc));
    return formula;
  }

 private:
  // A weight line as read: its literal, its line and its value (WeightValue's value and
  // complement).
  struct WeightLine {
    std::int32_t literal;
    std::int64_t line;
    double value;
    double complement;
  };
  // A variable of a show line (0-based) and its line.
  struct ShownVariable {
    std::int32_t variable;
    std::int64_t line;
  };

  InputError refuse(const std::string& what) const { return refuseAt(lines_.lines(), what); }
  InputError refuseAt(std::int64_t line, const std::string& what) const {
    return InputError(input_.name() + ':' + std::to_string(line) + ": " + what);
  }

  // A comment line: a type, weight or show line, or else nothing.
  void readComment(std::string_view rest) {
    std::string_view field;
    if (!nextField(rest, field)) return;
    if (field == "t") {
      std::string_view word;
      if (nextField(rest, word) && countType(word)) readTypeLine(*countType(word), rest);
    } else if (field == "p" && nextField(rest, field)) {
      if (field == "weight") readWeightLine(rest);
      if (field == "show") readShowLine(rest);
    }
  }

  void readTypeLine(CountType type, std::string_view rest) {
    if (std::string_view extra; nextField(rest, extra))
      throw refuse("type line with more than three fields, expected \"c t " + std::string(typeName(type)) + "\"");
    if (type_) throw refuse("second type line (the first is on line " + std::to_string(typeLine_) + ")");
    if (!weightsAllowed_ && isWeightedType(type)) throw refuseWeights();
    type_ = type;
    typeLine_ = lines_.lines();
  }

  InputError refuseWeights() const {
    return refuse(
        "a weighted file (weight lines, or type wmc or pwmc): this reader counts without weights and would ignore them");
  }

  void readWeightLine(std::string_view rest) {
    if (!weightsAllowed_) throw refuseWeights();
    std::string_view fields[3];
    std::size_t count = 0;
    for (std::string_view field; nextField(rest, field); ++count)
      if (count < 3) fields[count] = field;
    if (count == 0) throw refuse(std::string("weight line without a literal: ") + kWeightLineForm);
    const Number literal = readStrictNumber(fields[0]);
    if (literal.status == Number::kNoDigits) throw refuse("expected a literal, found " + quotedText(fields[0]));
    if (literal.status == Number::kTooLarge)
      throw refuse("number " + quotedText(fields[0]) + " does not fit in a 32-bit integer");
    if (literal.value == 0) throw refuse("weight for literal 0: a literal is a variable number or its negation");
    if (count == 1) throw refuse(std::string("weight line without a weight: ") + kWeightLineForm);
    const WeightValue weight = readWeightValue(fields[1]);
    switch (weight.status) {
      case WeightValue::kOk: break;
      case WeightValue::kUnreadable:
        throw refuse("expected a weight (a decimal such as 0.9 or 1e-9, or a fraction such as 1/3), found " +
                     quotedText(fields[1]));
      case WeightValue::kNegative: throw refuse("negative weight " + quotedText(fields[1]));
      case WeightValue::kNotFinite: throw refuse("weight " + quotedText(fields[1]) + " is not a finite number");
      case WeightValue::kZeroDenominator: throw refuse("weight " + quotedText(fields[1]) + " divides by zero");
      case WeightValue::kOutOfRange:
        throw refuse("weight " + quotedText(fields[1]) +
                     " is outside the range of a double (2.2e-308 to 1.8e308), and not 0");
    }
    if (count == 2 || fields[2] != "0")
      throw refuse(std::string("weight line does not end with 0: ") + kWeightLineForm);
    if (count > 3)
      throw refuse("weight line has " + std::to_string(count + 3) + std::string(" fields, ") + kWeightLineForm);
    weightLines_.push_back({literal.value, lines_.lines(), weight.value, weight.complement});
  }

  void readShowLine(std::string_view rest) {
    if (showLine_ == 0) showLine_ = lines_.lines();
    std::string_view field;
    if (!nextField(rest, field)) throw refuse("show line does not end with 0: expected \"c p show VARIABLE... 0\"");
    for (;;) {
      const Number variable = readStrictNumber(field);
      if (variable.status == Number::kNoDigits) throw refuse("expected a variable number, found " + quotedText(field));
      if (variable.status == Number::kTooLarge)
        throw refuse("number " + quotedText(field) + " does not fit in a 32-bit integer");
      if (variable.value < 0)
        throw refuse("negative number " + std::to_string(variable.value) + " in a show line, which lists variables");
      const bool last = !nextField(rest, field);
      if (variable.value == 0) {
        if (!last) throw refuse("0 before the last field of a show line: 0 only ends it");
        return;
      }
      if (last) throw refuse("show line does not end with 0: last field is " + std::to_string(variable.value));
      shown_.push_back({variable.value - 1, lines_.lines()});
    }
  }

  // The checks that need the whole file: type line against weight and show lines, literals
  // and variables against the variable count, repeated weights. Each refused at the first
  // offending line of its kind.
  void checkWeightsAndShows() const {
    if (type_ && !isWeightedType(*type_) && !weightLines_.empty())
      throw refuseAt(weightLines_.front().line, std::string("weight line in a file of type ") + typeName(*type_) +
                                                    " (line " + std::to_string(typeLine_) +
                                                    "): a weighted count is of type wmc or pwmc");
    if (type_ && !isProjectedType(*type_) && showLine_ != 0)
      throw refuseAt(showLine_, std::string("show line in a file of type ") + typeName(*type_) + " (line " +
                                    std::to_string(typeLine_) + "): a projected count is of type pmc or pwmc");
    if (type_ && isProjectedType(*type_) && showLine_ == 0)
      throw refuseAt(typeLine_, std::string("type ") + typeName(*type_) +
                                    " (a projected count) but no show line \"c p show VARIABLE... 0\"");
    if (showLine_ != 0 && shown_.empty())
      throw refuseAt(showLine_, "the show lines show no variable, so there is nothing to count");
    std::optional<std::pair<std::int64_t, std::string>> first;
    const auto offer = [&first](std::int64_t line, const std::string& what) {
      if (!first || line < first->first) first.emplace(line, what);
    };
    for (const WeightLine& weight : weightLines_)
      if (std::abs(std::int64_t{weight.literal}) > variables_) {
        offer(weight.line, "literal " + std::to_string(weight.literal) + " exceeds the declared variable count " +
                               std::to_string(variables_));
        break;
      }
    for (const ShownVariable& shown : shown_)
      if (shown.variable >= variables_) {
        offer(shown.line, "variable " + std::to_string(shown.variable + 1) + " exceeds the declared variable count " +
                              std::to_string(variables_));
        break;
      }
    std::vector<const WeightLine*> byLiteral;
    for (const WeightLine& weight : weightLines_) byLiteral.push_back(&weight);
    std::sort(byLiteral.begin(), byLiteral.end(), [](const WeightLine* a, const WeightLine* b) {
      return a->literal != b->literal ? a->literal < b->literal : a->line < b->line;
    });
    for (std::size_t i = 1; i < byLiteral.size(); ++i)
      if (byLiteral[i]->literal == byLiteral[i - 1]->literal)
        offer(byLiteral[i]->line, "second weight for literal " + std::to_string(byLiteral[i]->literal) +
                                      " (the first is on line " + std::to_string(byLiteral[i - 1]->line) + ")");
    if (first) throw refuseAt(first->first, first->second);
  }

  // Projects the problem onto the shown variables, when the file shows some: keeps the clauses
  // whose variables are all shown, renumbered by their rank among the shown ones. Returns the
  // shown variables (0-based, increasing), or nothing when the file shows none.
  std::vector<std::int32_t> project() {
    if (shown_.empty()) return {};
    std::vector<std::int32_t> shown;
    shown.reserve(shown_.size());
    for (const ShownVariable& variable : shown_) shown.push_back(variable.variable);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    const auto rank = [&shown](std::int32_t variable) -> std::int32_t {
      const auto at = std::lower_bound(shown.begin(), shown.end(), variable);
      return at != shown.end() && *at == variable ? static_cast<std::int32_t>(at - shown.begin()) : -1;
    };
    std::vector<std::int32_t>& literals = problem_.literals;
    std::vector<std::uint32_t>& begin = problem_.clauseBegin;
    std::uint32_t kept = 0, written = 0;  // clauses kept, literals written
    std::uint32_t from = begin[0];
    for (std::int32_t c = 0; c < problem_.clauseCount; ++c) {
      const std::uint32_t to = begin[static_cast<std::size_t>(c) + 1];
      bool allShown = true;
      for (std::uint32_t i = from; i < to && allShown; ++i) allShown = rank(literals[i]) >= 0;
      if (allShown) {
        for (std::uint32_t i = from; i < to; ++i) literals[written++] = rank(literals[i]);
        begin[++kept] = written;
      }
      from = to;
    }
    literals.resize(written);
    begin.resize(kept + std::size_t{1});
    problem_.clauseCount = static_cast<std::int32_t>(kept);
    problem_.variableCount = static_cast<std::int32_t>(shown.size());
    return shown;
  }

  // The weights of the (projected) problem's variables: per variable, its chances and total,
  // from one or two weight lines. `shown` as project() returns it.
  std::vector<VariableWeight> variableWeights(const std::vector<std::int32_t>& shown) const {
    std::vector<const WeightLine*> byVariable;
    for (const WeightLine& weight : weightLines_) byVariable.push_back(&weight);
    std::sort(byVariable.begin(), byVariable.end(), [](const WeightLine* a, const WeightLine* b) {
      return std::abs(a->literal) != std::abs(b->literal) ? std::abs(a->literal) < std::abs(b->literal)
                                                            : a->literal > b->literal;
    });
    std::vector<VariableWeight> weights;
    for (std::size_t i = 0; i < byVariable.size();) {
      const WeightLine* positive = byVariable[i]->literal > 0 ? byVariable[i] : nullptr;
      const WeightLine* negative = positive == nullptr ? byVariable[i] : nullptr;
      if (positive != nullptr && i + 1 < byVariable.size() && byVariable[i + 1]->literal == -positive->literal)
        negative = byVariable[i + 1];
      i += positive != nullptr && negative != nullptr ? 2 : 1;
      const std::int32_t variable = std::abs((positive != nullptr ? positive : negative)->literal) - 1;
      VariableWeight weight = variableWeight(variable, positive, negative);
      if (!shown.empty()) {
        const auto at = std::lower_bound(shown.begin(), shown.end(), variable);
        if (at == shown.end() || *at != variable) continue;  // hidden: weighs nothing in the count
        weight.variable = static_cast<std::int32_t>(at - shown.begin());
      }
      weights.push_back(weight);
    }
    return weights;
  }

  // The weight of variable `variable` (0-based, as the file numbers it) from its weight lines,
  // one of them possibly null.
  VariableWeight variableWeight(std::int32_t variable, const WeightLine* positive, const WeightLine* negative) const {
    VariableWeight weight{.variable = variable};
    if (positive == nullptr || negative == nullptr) {
      const WeightLine& given = positive != nullptr ? *positive : *negative;
      if (std::isnan(given.complement))
        throw refuseAt(given.line, "only literal " + std::to_string(given.literal) + " of its variable has a weight (" +
                                       numberText(given.value) + "), and the other's weight, taken as 1 - " +
                                       numberText(given.value) + ", is no weight: give both literals a weight");
      weight.truth = positive != nullptr ? given.value : given.complement;
      weight.falsity = positive != nullptr ? given.complement : given.value;
      weight.total = 1.0L;
      return weight;
    }
    weight.total = static_cast<long double>(positive->value) + negative->value;
    if (weight.total == 0.0L) return weight;
    weight.truth = static_cast<double>(positive->value / weight.total);
    weight.falsity = static_cast<double>(negative->value / weight.total);
    const auto lost = [](double weightRead, double chance) { return weightRead > 0.0 && chance < DBL_MIN; };
    if (lost(positive->value, weight.truth) || lost(negative->value, weight.falsity))
      throw refuseAt(std::max(positive->line, negative->line),
                     "the weights of variable " + std::to_string(variable + 1) + " (" + numberText(positive->value) +
                         " and " + numberText(negative->value) +
                         ") are so far apart that one chance is below a double's range (2.2e-308)");
    return weight;
  }

  // A number field of the problem line or a literal field, refused when it holds no digits
  // (naming `expected`) or does not fit in 32 bits.
  std::int32_t number(std::string_view field, const char* expected) const {
    const Number read = readNumber(field);
    if (read.status == Number::kNoDigits)
      throw refuse(std::string("expected ") + expected + ", found " + quotedText(field));
    if (read.status == Number::kTooLarge)
      throw refuse("number " + quotedText(field) + " does not fit in a 32-bit integer");
    return read.value;
  }

  // Clause lines take the fast path: a field of plain digits is read as it is cut; anything
  // else goes through readClauseField.
  void readLine(std::string_view line) {
    const char* p = line.data();
    const char* const end = p + line.size();
    skipBlanks(p, end);
    if (p == end) return;
    if ((*p == 'c' || *p == 'p') && (p + 1 == end || isBlank(p[1]))) {
      const std::string_view rest(p + 1, static_cast<std::size_t>(end - p - 1));
      if (*p == 'p')
        readProblemLine(rest);
      else
        readComment(rest);
      return;
    }
    if (problemLine_ == 0) throw refuse("clause line before the problem line");
    constexpr std::uint64_t kLargest = std::numeric_limits<std::int32_t>::max();
    while (p != end) {
      const char* const start = p;
      std::uint64_t value = 0;
      for (; p != end && isDigit(*p) && value <= kLargest; ++p) value = value * 10 + static_cast<std::uint64_t>(*p - '0');
      const bool plain = p != start && value <= kLargest && (p == end || isBlank(*p));
      while (p != end && !isBlank(*p)) ++p;
      const std::string_view field(start, static_cast<std::size_t>(p - start));
      skipBlanks(p, end);
      const bool lastOfLine = p == end;
      if (plain && (open_ || clausesRead_ < declaredClauses_))
        addLiteral(static_cast<std::int32_t>(value), field, lastOfLine);
      else
        readClauseField(field, lastOfLine);
    }
  }

  static void skipBlanks(const char*& p, const char* end) {
    while (p != end && isBlank(*p)) ++p;
  }

  void readProblemLine(std::string_view rest) {
    if (problemLine_ != 0)
      throw refuse("second problem line (the first is on line " + std::to_string(problemLine_) + ")");
    std::string_view fields[3];
    std::size_t count = 1;
    for (std::string_view field; nextField(rest, field); ++count)
      if (count <= 3) fields[count - 1] = field;
    if (count >= 2 && fields[0] != "cnf")
      throw refuse("unsupported format " + quotedText(fields[0]) + ": only cnf is read");
    if (count != 4)
      throw refuse("problem line has " + std::to_string(count) + " fields, expected \"p cnf VARIABLES CLAUSES\"");
    variables_ = number(fields[1], "the variable count");
    declaredClauses_ = number(fields[2], "the clause count");
    if (variables_ < 1) throw refuse("the variable count must be at least 1, found " + std::to_string(variables_));
    if (variables_ > kMaxVariables)
      throw refuse("the variable count " + std::to_string(variables_) + " exceeds the supported maximum " +
                   std::to_string(kMaxVariables));
    if (declaredClauses_ < 0)
      throw refuse("the clause count must be at least 0, found " + std::to_string(declaredClauses_));
    problemLine_ = lines_.lines();
  }

  void readClauseField(std::string_view field, bool lastOfLine) {
    const Number read = readNumber(field);
    if (!open_ && clausesRead_ >= declaredClauses_) {
      // Past the declared clauses only fields that store nothing may follow.
      if (field == "%" || (read.status == Number::kOk && read.value == 0)) return;
      if (read.status == Number::kNoDigits)
        throw refuse("found " + quotedText(field) + " after the declared clauses, where only \"%\" and \"0\" may follow");
      throw refuse("more clauses than declared: the problem line (line " + std::to_string(problemLine_) +
                   ") declares " + std::to_string(declaredClauses_));
    }
    if (read.status == Number::kNoDigits && lastOfLine)
      throw refuse("clause does not end with 0: last field is " + quotedText(field));
    const std::int32_t literal = number(field, "a variable number");
    if (literal < 0)
      throw refuse("negative literal " + std::to_string(literal) +
                   ": only monotone formulas (positive literals) are accepted");
    addLiteral(literal, field, lastOfLine);
  }

  // A literal >= 0 of a declared clause: 0 ends the clause.
  void addLiteral(std::int32_t literal, std::string_view field, bool lastOfLine) {
    if (literal == 0) {
      if (!lastOfLine) throw refuse("literal 0 before the last field: 0 only ends a clause");
      problem_.clauseBegin.push_back(static_cast<std::uint32_t>(problem_.literals.size()));
      ++clausesRead_;
      open_ = false;
      return;
    }
    if (literal > variables_)
      throw refuse("variable " + std::to_string(literal) + " exceeds the declared variable count " +
                   std::to_string(variables_));
    if (problem_.literals.size() == kMaxLiterals)
      throw refuse("more than " + std::to_string(kMaxLiterals) + " literals, more than the reader supports");
    problem_.literals.push_back(literal - 1);
    open_ = true;
    if (lastOfLine) {  // the clause continues on a later line
      openLine_ = lines_.lines();
      openField_ = quotedText(field);
    }
  }

  InputSource& input_;
  LineSource lines_;
  Problem problem_;
  std::int32_t variables_ = 0;
  std::int32_t declaredClauses_ = 0;
  std::int64_t problemLine_ = 0;  // 0 until the problem line is read
  std::int32_t clausesRead_ = 0;
  bool open_ = false;             // a clause has literals but no 0 yet
  std::int64_t openLine_ = 0;     // where the open clause's last line ended, and its last field
  std::string openField_;
  bool weightsAllowed_;
  std::optional<CountType> type_;
  std::int64_t typeLine_ = 0;
  std::vector<WeightLine> weightLines_;  // in file order
  std::vector<ShownVariable> shown_;     // in file order
  std::int64_t showLine_ = 0;            // the first show line, 0 without one
};

}  // namespace

Problem readDimacs(InputSource& input) { return DimacsReader(input, false).read().problem; }

Problem readDimacs(const std::string& path) {
  InputSource input(path);
  return readDimacs(input);
}

WeightedFormula readWeightedDimacs(InputSource& input) { return DimacsReader(input, true).read(); }

WeightedFormula readWeightedDimacs(const std::string& path) {
  InputSource input(path);
  return readWeightedDimacs(input);
}

}  // namespace monocount
