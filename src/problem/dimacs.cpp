#include "problem/dimacs.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "problem/input_error.hpp"

namespace monocount {
namespace {

// Every variable costs its occurrence list here and a slot in every variable order; a count far
// beyond any real formula would exhaust memory before the first clause is read.
constexpr std::int32_t kMaxVariables = 100'000'000;

bool isSeparator(char ch, char delimiter) {
  return ch == delimiter || ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' ||
         ch == '\f';
}

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// A field read as atoi reads it (optional sign, then decimal digits up to the first other
// character), except that a field without digits and a value outside 32 bits are told apart
// from a plain number instead of reading as 0 or wrapping.
struct Number {
  enum Status { kOk, kNoDigits, kTooLarge } status;
  std::int32_t value;
};

Number readNumber(const std::string& field) {
  std::size_t i = 0;
  const bool negative = !field.empty() && field[0] == '-';
  if (!field.empty() && (field[0] == '-' || field[0] == '+')) ++i;
  if (i == field.size() || !isDigit(field[i])) return {Number::kNoDigits, 0};
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (; i < field.size() && isDigit(field[i]); ++i) {
    magnitude = magnitude * 10 + (field[i] - '0');
    if (magnitude > limit) return {Number::kTooLarge, 0};
  }
  return {Number::kOk, static_cast<std::int32_t>(negative ? -magnitude : magnitude)};
}

// A field quoted for a message, cut short so that a runaway field cannot flood it.
std::string quoted(const std::string& field) {
  constexpr std::size_t kShown = 40;
  if (field.size() <= kShown) return '"' + field + '"';
  return '"' + field.substr(0, kShown) + "...\"";
}

// Physical lines of a file, without their line feed. Lines have no length limit; a last
// line without a line feed is still a line. Open and read failures throw InputError with
// the path and the system's reason.
class LineReader {
 public:
  explicit LineReader(const std::string& path)
      : path_(path), file_(std::fopen(path.c_str(), "rb"), &std::fclose) {
    if (!file_) throw InputError(path_ + ": cannot open: " + std::strerror(errno));
  }

  // Replaces `line` with the next line; false at the end of the file.
  bool next(std::string& line) {
    line.clear();
    bool started = false;
    for (;;) {
      if (pos_ == size_ && !refill()) return started;
      started = true;
      const char* start = buffer_.get() + pos_;
      const std::size_t available = size_ - pos_;
      const void* feed = std::memchr(start, '\n', available);
      if (feed != nullptr) {
        const auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
        line.append(start, length);
        pos_ += length + 1;
        return true;
      }
      line.append(start, available);
      pos_ = size_;
    }
  }

 private:
  static constexpr std::size_t kBufferSize = 1 << 16;

  bool refill() {
    errno = 0;
    size_ = std::fread(buffer_.get(), 1, kBufferSize, file_.get());
    pos_ = 0;
    if (size_ > 0) return true;
    if (std::ferror(file_.get())) {
      const int error = errno;
      throw InputError(path_ + ": cannot read: " + (error != 0 ? std::strerror(error) : "read error"));
    }
    return false;
  }

  std::string path_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
  std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(kBufferSize);
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
};

}  // namespace

void splitLine(const std::string& line, char delimiter, std::vector<std::string>& fields) {
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isSeparator(line[i], delimiter)) ++i;
    const std::size_t start = i;
    while (i < line.size() && !isSeparator(line[i], delimiter)) ++i;
    if (i > start) fields.emplace_back(line, start, i - start);
  }
}

Problem readDimacs(const std::string& path) {
  LineReader reader(path);
  std::int32_t variables = 0;
  std::int32_t clauses = 0;
  std::vector<std::vector<std::int32_t>> lists;
  std::int64_t problemLine = 0;  // 0 until the problem line is read
  std::int64_t clauseLines = 0;  // the next clause index
  std::int64_t lineNumber = 0;
  std::string line;
  std::vector<std::string> fields;

  const auto refuse = [&](const std::string& what) {
    return InputError(path + ':' + std::to_string(lineNumber) + ": " + what);
  };
  // A number field of the problem line or a literal field, refused when it holds no digits
  // (naming `expected`) or does not fit in 32 bits.
  const auto number = [&](const std::string& field, const char* expected) {
    const Number read = readNumber(field);
    if (read.status == Number::kNoDigits)
      throw refuse(std::string("expected ") + expected + ", found " + quoted(field));
    if (read.status == Number::kTooLarge)
      throw refuse("number " + quoted(field) + " does not fit in a 32-bit integer");
    return read.value;
  };

  while (reader.next(line)) {
    ++lineNumber;
    fields.clear();
    splitLine(line, ' ', fields);
    if (fields.empty() || fields[0] == "c") continue;

    if (fields[0] == "p") {
      if (problemLine != 0)
        throw refuse("second problem line (the first is on line " + std::to_string(problemLine) +
                     ")");
      if (fields.size() < 4)
        throw refuse("problem line has " + std::to_string(fields.size()) +
                     " fields, expected \"p cnf VARIABLES CLAUSES\"");
      variables = number(fields[2], "the variable count");
      clauses = number(fields[3], "the clause count");
      if (variables < 1)
        throw refuse("the variable count must be at least 1, found " + std::to_string(variables));
      if (variables > kMaxVariables)
        throw refuse("the variable count " + std::to_string(variables) + " exceeds the supported maximum " +
                     std::to_string(kMaxVariables));
      if (clauses < 0)
        throw refuse("the clause count must be at least 0, found " + std::to_string(clauses));
      lists.resize(static_cast<std::size_t>(variables));
      problemLine = lineNumber;
      continue;
    }

    // A clause line: literal fields, then the terminator 0.
    if (problemLine == 0) throw refuse("clause line before the problem line");
    const std::size_t last = fields.size() - 1;
    if (clauseLines >= clauses) {
      // A line that stores nothing past the declared clauses (a lone "%" or "0") is harmless.
      if (last == 0) {
        ++clauseLines;
        continue;
      }
      throw refuse("more clauses than declared: the problem line (line " +
                   std::to_string(problemLine) + ") declares " + std::to_string(clauses));
    }
    for (std::size_t i = 0; i < last; ++i) {
      const std::int32_t literal = number(fields[i], "a variable number");
      if (literal < 0)
        throw refuse("negative literal " + std::to_string(literal) +
                     ": only monotone formulas (positive literals) are accepted");
      if (literal == 0) throw refuse("literal 0 before the last field: 0 only ends a clause");
      if (literal > variables)
        throw refuse("variable " + std::to_string(literal) +
                     " exceeds the declared variable count " + std::to_string(variables));
      lists[static_cast<std::size_t>(literal - 1)].push_back(static_cast<std::int32_t>(clauseLines));
    }
    if (fields[last] != "0")
      throw refuse("clause does not end with 0: last field is " + quoted(fields[last]));
    ++clauseLines;
  }

  if (lineNumber == 0)
    throw InputError(path + ": empty file: expected a problem line \"p cnf VARIABLES CLAUSES\"");
  if (problemLine == 0) throw refuse("end of file without a problem line");
  if (clauseLines < clauses)
    throw refuse("end of file after " + std::to_string(clauseLines) +
                 " clauses, but the problem line (line " + std::to_string(problemLine) +
                 ") declares " + std::to_string(clauses));

  Problem problem;
  problem.variableCount = variables;
  problem.clauseCount = clauses;
  problem.occurrences = std::move(lists);
  return problem;
}

}  // namespace monocount
