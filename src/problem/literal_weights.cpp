#include "problem/literal_weights.hpp"

#include <cmath>
#include <utility>

namespace monocount {

LiteralWeights::LiteralWeights(std::int32_t variableCount, std::vector<VariableWeight> weighted)
    : variableCount_(variableCount), weighted_(std::move(weighted)) {}

VariableProbabilities LiteralWeights::law() const {
  const auto sameChances = [](const VariableWeight& a, double truth, double falsity) {
    return a.truth == truth && a.falsity == falsity;
  };
  const VariableWeight unweighted;
  const VariableWeight& first = weighted_.empty() ? unweighted : weighted_.front();
  bool uniform = weighted_.size() == static_cast<std::size_t>(variableCount_) || sameChances(first, 0.5, 0.5);
  for (const VariableWeight& weight : weighted_) uniform = uniform && sameChances(weight, first.truth, first.falsity);
  if (uniform) return VariableProbabilities::uniform(first.truth, first.falsity);
  const auto n = static_cast<std::size_t>(variableCount_);
  std::vector<double> truth(n, 0.5), falsity(n, 0.5);
  for (const VariableWeight& weight : weighted_) {
    truth[static_cast<std::size_t>(weight.variable)] = weight.truth;
    falsity[static_cast<std::size_t>(weight.variable)] = weight.falsity;
  }
  return VariableProbabilities::perVariable(std::move(truth), std::move(falsity));
}

ScaledNumber LiteralWeights::factor() const {
  // 2 for every variable without weights, then each weighted variable's total, the mantissa
  // brought back to [0.5, 1) after every product.
  ScaledNumber product{0.5L, 1 + variableCount_ - static_cast<std::int64_t>(weighted_.size())};
  for (const VariableWeight& weight : weighted_) {
    if (weight.total == 0.0L) return {};
    int shift = 0;
    product.mantissa = std::frexp(product.mantissa * weight.total, &shift);
    product.exponent += shift;
  }
  return product;
}

}  // namespace monocount
