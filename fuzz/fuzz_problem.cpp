// The fuzz target: arbitrary bytes, compressed or not, through the reader, then every formula
// it accepts that is small enough to sample quickly through both estimators. A finding is a
// crash, a sanitizer report, an exception other than the reader's refusal, a hang, or an
// estimate outside what the formula allows (negative, NaN, or above 2^n; a split root's sum of
// per-size estimates may pass it by rounding only).

#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "estimation/estimator.hpp"
#include "problem/dimacs.hpp"
#include "problem/input_error.hpp"

namespace {

constexpr std::int32_t kLargestSampled = 64;        // variables
constexpr std::size_t kMostLiteralsSampled = 2048;

void check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace monocount;
  Problem problem;
  try {
    InputSource input(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.cnf");
    problem = readDimacs(input);
  } catch (const InputError&) {
    return 0;
  }
  check(problem.variableCount >= 1 && problem.clauseBegin.size() == static_cast<std::size_t>(problem.clauseCount) + 1);
  if (problem.variableCount > kLargestSampled || problem.literals.size() > kMostLiteralsSampled) return 0;
  const WideReal all = WideReal::powerOfTwo(problem.variableCount);
  for (const MethodEntry& entry : kMethods) {
    const Method method = entry.method;
    Estimator estimator(problem, {.method = method, .seed = static_cast<std::uint32_t>(size)});
    for (int replication = 0; replication < 2; ++replication) {
      const Replication row = estimator.estimateModelCount(4);
      check(row.estimate >= WideReal(0.0) && !(row.relativeError < 0.0) && !std::isnan(row.relativeError));
      check(row.estimate <= (method == Method::crude ? all : all * WideReal(1.0 + 1e-9)));
    }
  }
  return 0;
}
