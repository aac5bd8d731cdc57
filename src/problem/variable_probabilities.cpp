#include "problem/variable_probabilities.hpp"

#include <utility>

namespace monocount {

VariableProbabilities VariableProbabilities::uniform(double p) {
  VariableProbabilities law;
  law.uniformTruth_ = p;
  law.uniformFalsity_ = 1.0 - p;
  return law;
}

VariableProbabilities VariableProbabilities::uniform(double truth, double falsity) {
  VariableProbabilities law;
  law.uniformTruth_ = truth;
  law.uniformFalsity_ = falsity;
  return law;
}

VariableProbabilities VariableProbabilities::perVariable(std::vector<double> truth, std::vector<double> falsity) {
  VariableProbabilities law;
  law.truth_ = std::move(truth);
  law.falsity_ = std::move(falsity);
  return law;
}

}  // namespace monocount
