#include "problem/dimacs.hpp"

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "problem/input_error.hpp"
#include "problem/visible_text.hpp"

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
  explicit DimacsReader(InputSource& input) : input_(input), lines_(input) {}

  Problem read() {
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
    return std::move(problem_);
  }

 private:
  InputError refuse(const std::string& what) const {
    return InputError(input_.name() + ':' + std::to_string(lines_.lines()) + ": " + what);
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
      if (*p == 'p') readProblemLine(std::string_view(p + 1, static_cast<std::size_t>(end - p - 1)));
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
};

}  // namespace

bool nextField(std::string_view& rest, std::string_view& field) {
  std::size_t i = 0;
  while (i < rest.size() && isBlank(rest[i])) ++i;
  std::size_t end = i;
  while (end < rest.size() && !isBlank(rest[end])) ++end;
  field = rest.substr(i, end - i);
  rest.remove_prefix(end);
  return !field.empty();
}

Problem readDimacs(InputSource& input) { return DimacsReader(input).read(); }

Problem readDimacs(const std::string& path) {
  InputSource input(path);
  return readDimacs(input);
}

}  // namespace monocount
