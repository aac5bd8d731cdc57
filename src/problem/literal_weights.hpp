#pragma once

#include <cstdint>
#include <vector>

#include "problem/variable_probabilities.hpp"

namespace monocount {

// A non-negative real in extended range, mantissa * 2^exponent: a product of many weights goes
// far beyond a double's range. WideReal::scaled(mantissa, exponent) takes it as it is.
struct ScaledNumber {
  long double mantissa = 0.0L;  // 0, or in [0.5, 1)
  std::int64_t exponent = 0;    // 0 when the mantissa is 0
};

// What the weights of one variable's two literals mean: its chances of being true and false,
// and the sum of the two weights. A variable whose weights are both 0 has total 0 (and chances
// 1/2 each: any law gives a weighted count of 0 then).
struct VariableWeight {
  std::int32_t variable = 0;  // 0-based
  double truth = 0.5;         // w(x) / (w(x) + w(not x))
  double falsity = 0.5;       // w(not x) / (w(x) + w(not x)), to its own relative precision
  long double total = 2.0L;   // w(x) + w(not x)
};

// The literal weights of a formula, kept only for the variables that have some (a variable
// without any weighs 1 on both literals), in a form the estimators take:
//   weighted count = factor() * P(the formula holds when variable v is true with chance
//                    law().truth(v), independently).
// The sum of the weights of the assignments that falsify the formula is factor() times the
// chance that it fails.
class LiteralWeights {
 public:
  LiteralWeights() = default;
  // `variableCount` variables, of which `weighted` (distinct, in increasing order, each in
  // [0, variableCount)) have weights; every literal of the others weighs 1.
  explicit LiteralWeights(std::int32_t variableCount, std::vector<VariableWeight> weighted = {});

  std::int32_t variableCount() const { return variableCount_; }
  bool empty() const { return weighted_.empty(); }
  const std::vector<VariableWeight>& weighted() const { return weighted_; }

  // The law of the variables (1/2 each for a variable without weights): uniform when every
  // variable has the same chances (so also when no variable has a weight), per variable
  // otherwise (two doubles per variable, allocated here).
  VariableProbabilities law() const;
  // The product over all variables of w(x) + w(not x) (2 for a variable without weights), to a
  // relative error of about 1e-19 per variable; 0 when some variable has both weights 0.
  ScaledNumber factor() const;

 private:
  std::int32_t variableCount_ = 0;
  std::vector<VariableWeight> weighted_;
};

}  // namespace monocount
