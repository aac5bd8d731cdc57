#include "problem/certain_variables.hpp"

#include <utility>
#include <vector>

namespace monocount {

CertainVariablesRemoved removeCertainVariables(Problem problem, const VariableProbabilities& law) {
  using Outcome = CertainVariablesRemoved::Outcome;
  CertainVariablesRemoved result;
  // The new index of every variable, -1 for an always true one and -2 for an always false one;
  // for a uniform law the same for all, and kept implicit.
  const bool uniform = law.isUniform();
  std::vector<std::int32_t> newIndex;
  std::int32_t remaining = 0;
  const auto certainty = [](double truth, double falsity) { return falsity == 0.0 ? -1 : truth == 0.0 ? -2 : 0; };
  const int uniformCertainty = certainty(law.uniformTruth(), law.uniformFalsity());
  if (uniform) {
    remaining = uniformCertainty == 0 ? problem.variableCount : 0;
  } else {
    newIndex.resize(static_cast<std::size_t>(problem.variableCount));
    for (std::int32_t v = 0; v < problem.variableCount; ++v) {
      const int certain = certainty(law.truth(v), law.falsity(v));
      newIndex[static_cast<std::size_t>(v)] = certain == 0 ? remaining++ : certain;
    }
  }
  const auto indexOf = [&](std::int32_t v) {
    return uniform ? (uniformCertainty == 0 ? v : uniformCertainty) : newIndex[static_cast<std::size_t>(v)];
  };

  std::vector<std::int32_t>& literals = problem.literals;
  std::vector<std::uint32_t>& begin = problem.clauseBegin;
  std::uint32_t kept = 0, written = 0;  // clauses kept, literals written
  std::uint32_t from = begin[0];
  for (std::int32_t c = 0; c < problem.clauseCount; ++c) {
    const std::uint32_t to = begin[static_cast<std::size_t>(c) + 1];
    const std::uint32_t start = written;
    bool satisfied = false;
    for (std::uint32_t i = from; i < to && !satisfied; ++i) {
      const std::int32_t index = indexOf(literals[i]);
      satisfied = index == -1;
      if (index >= 0) literals[written++] = index;
    }
    from = to;
    if (satisfied) {
      written = start;
      continue;
    }
    if (written == start) {
      result.outcome = Outcome::neverHolds;
      return result;
    }
    begin[++kept] = written;
  }
  if (kept == 0) {
    result.outcome = Outcome::alwaysHolds;
    return result;
  }
  literals.resize(written);
  begin.resize(kept + std::size_t{1});
  problem.clauseCount = static_cast<std::int32_t>(kept);
  problem.variableCount = remaining;
  result.problem = std::move(problem);
  if (uniform) {
    result.law = law;
    return result;
  }
  std::vector<double> truth, falsity;
  truth.reserve(static_cast<std::size_t>(remaining));
  falsity.reserve(static_cast<std::size_t>(remaining));
  for (std::int32_t v = 0; v < static_cast<std::int32_t>(newIndex.size()); ++v)
    if (newIndex[static_cast<std::size_t>(v)] >= 0) {
      truth.push_back(law.truth(v));
      falsity.push_back(law.falsity(v));
    }
  result.law = VariableProbabilities::perVariable(std::move(truth), std::move(falsity));
  return result;
}

}  // namespace monocount
