// The fuzz target: arbitrary bytes, compressed or not, through the reader (weight, show and
// type lines included), then every formula it accepts that is small enough to sample quickly
// through the law its weights give, the removal of certain variables and every method. A
// finding is a crash, a sanitizer report, an exception other than the reader's refusal, a hang,
// a chance outside [0, 1] or a pair of chances not summing to 1, a variable left certain, or an
// estimate outside what the formula allows (negative, NaN, or above 2^n; a split root's sum of
// per-size estimates may pass it by rounding only).

#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "estimation/estimator.hpp"
#include "problem/certain_variables.hpp"
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
  WeightedFormula formula;
  try {
    InputSource input(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.cnf");
    formula = readWeightedDimacs(input);
  } catch (const InputError&) {
    return 0;
  }
  const Problem& problem = formula.problem;
  check(problem.variableCount >= 1 && problem.clauseBegin.size() == static_cast<std::size_t>(problem.clauseCount) + 1);
  if (problem.variableCount > kLargestSampled || problem.literals.size() > kMostLiteralsSampled) return 0;
  const VariableProbabilities law = formula.weights.law();
  for (std::int32_t v = 0; v < problem.variableCount; ++v) {
    const double truth = law.truth(v), falsity = law.falsity(v);
    check(truth >= 0.0 && falsity >= 0.0 && std::fabs(truth + falsity - 1.0) < 1e-15);
  }
  const ScaledNumber factor = formula.weights.factor();
  check(factor.mantissa == 0.0L || (factor.mantissa >= 0.5L && factor.mantissa < 1.0L));
  const CertainVariablesRemoved removed = removeCertainVariables(problem, law);
  if (removed.outcome == CertainVariablesRemoved::Outcome::uncertain) {
    check(removed.problem.variableCount >= 1 && removed.problem.clauseCount >= 1 &&
          removed.problem.literals.size() <= problem.literals.size());
    for (std::int32_t v = 0; v < removed.problem.variableCount; ++v)
      check(removed.law.truth(v) > 0.0 && removed.law.falsity(v) > 0.0);
  }
  const WideReal all = WideReal::powerOfTwo(problem.variableCount);
  for (const MethodEntry& entry : kMethods) {
    EstimatorSettings settings{.method = entry.method, .seed = static_cast<std::uint32_t>(size)};
    settings.memoryLimit = std::uint64_t{64} << 20;
    const MethodChoice choice = Estimator::choose(problem, settings);
    if (!choice.refusal.empty()) continue;
    settings.method = choice.method;
    settings.exactPlan = choice.plan;
    const Method method = settings.method;
    Estimator estimator(problem, settings);
    for (int replication = 0; replication < 2; ++replication) {
      const Replication row = estimator.estimateModelCount(4);
      check(row.estimate >= WideReal(0.0) && !(row.relativeError < 0.0) && !std::isnan(row.relativeError));
      check(row.estimate <= (method == Method::split ? all * WideReal(1.0 + 1e-9) : all));
    }
  }
  return 0;
}
